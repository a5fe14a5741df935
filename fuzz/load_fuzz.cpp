// libFuzzer target for the whole load of a project file through the main window: any bytes
// either load or leave an empty drawing with one message; the file reader agrees with the
// memory reader; what loads holds what the parser reads, paints the lines and replays the
// fills, survives redraws and undos, and saves to a file that reads back to the same drawing.
#include "app/main_window.h"
#include "geometry/render.h"
#include "platform/headless_platform.h"
#include "project/project_file.h"
#include "project/project_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <variant>
#include <vector>

namespace {

using namespace quillet;

constexpr int WIDTH = 581;
constexpr int HEIGHT = 493;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "load_fuzz: %s\n", what);
        std::abort();
    }
}

// One file per process, in memory where the system offers it, rewritten for every input.
std::filesystem::path dir;
std::string inputPath;

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::perror("load_fuzz: cannot write a file");
        std::exit(1);
    }
}

void WriteInput(std::string_view bytes) {
    if (inputPath.empty()) {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (access(base.c_str(), W_OK) != 0) {
            base = std::filesystem::temp_directory_path(ec);
        }
        std::string pattern = (base / "quillet-load-fuzz.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("load_fuzz: no temporary folder");
            std::exit(1);
        }
        dir = pattern;
        inputPath = (dir / "input.qlf").string();
        std::atexit(RemoveDir);
    }
    WriteFile(inputPath, bytes);
}

// The pictures a load must leave: the lines, then the fills in their order; the two taken
// before the newest fills are what fill undo brings back.
struct Expected {
    std::vector<Colour> linesOnly;
    std::vector<Colour> beforeLast;
    std::vector<Colour> beforeOneButLast;
    std::vector<Colour> loaded;
};

Expected Paint(const ProjectData& data) {
    Surface pic(WIDTH, HEIGHT);
    for (const udtLine& l : data.lines) {
        DrawLine(pic, l.X1, l.Y1, l.X2, l.Y2, R2_COPYPEN, COLOR_LINE);
        // A side closes at its end pixel too.
        const double ex = RoundPixel(l.X2), ey = RoundPixel(l.Y2);
        if (ex >= 0 && ex < WIDTH && ey >= 0 && ey < HEIGHT) {
            pic.SetPixel(static_cast<int>(ex), static_cast<int>(ey), COLOR_LINE);
        }
    }
    Expected e;
    e.linesOnly = pic.Pixels();
    const std::size_t n = data.fills.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i + 2 == n) {
            e.beforeOneButLast = pic.Pixels();
        }
        if (i + 1 == n) {
            e.beforeLast = pic.Pixels();
        }
        const udtFill& f = data.fills[i];
        const double x = RoundPixel(f.X);
        const double y = RoundPixel(f.Y);
        pic.ExtFloodFill(x, y, pic.GetPixel(x, y), static_cast<Colour>(f.Color));
    }
    e.loaded = pic.Pixels();
    return e;
}

std::string Save(frmMain& form, HeadlessPlatform& platform) {
    platform.written.reset();
    Check(form.SaveProject(dir.string() + "/saved.qlf"), "the save failed");
    Check(platform.written.has_value(), "the save wrote nothing");
    return *platform.written;
}

// The saved text reads back under either separator to a drawing of the expected size, which
// saves to the same text again.
void CheckSaved(const std::string& saved, char separator, std::size_t points, std::size_t lines,
                std::size_t fills) {
    for (char reader : {',', '.'}) {
        auto again = ParseProject(saved, reader);
        const auto* back = std::get_if<ProjectData>(&again);
        Check(back != nullptr, "the saved file does not read back");
        Check(back->points.size() == points && back->lines.size() == lines &&
                  back->fills.size() == fills,
              "the saved file reads back with other counts");
        Check(WriteProject(*back, separator) == saved, "the saved file saves differently");
    }
}

// The file reader takes 64 KiB at a time. Spaces before the first point, which a point line
// allows, move a position of the input that its hash picks onto the end of the first chunk,
// so that lines of any content straddle it; nothing when the input has fewer than six lines.
std::optional<std::string> Straddling(std::string_view bytes) {
    constexpr std::size_t CHUNK = 1u << 16;
    std::size_t at = 0;
    for (int line = 1; line <= 5; ++line) {
        at = bytes.find('\r', at);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        at += at + 1 < bytes.size() && bytes[at + 1] == '\n' ? 2 : 1;
    }
    std::uint64_t hash = 14695981039346656037u;
    for (char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    const std::size_t chosen = at + static_cast<std::size_t>(hash % (bytes.size() - at + 1));
    if (chosen > CHUNK) {
        return std::nullopt;
    }
    std::string padded(bytes.substr(0, at));
    padded.append(CHUNK - chosen, ' ');
    padded.append(bytes.substr(at));
    return padded;
}

void CheckCounts(const frmMain& form, std::size_t points, std::size_t lines, std::size_t fills,
                 const char* what) {
    Check(static_cast<std::size_t>(form.intPointCount) == points &&
              static_cast<std::size_t>(form.intLineCount) == lines &&
              static_cast<std::size_t>(form.intFillCount) == fills,
          what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The locale's separator only decides which texts count as numbers, and the parser target
    // tries both on every input; here the length picks one, so mutations reach both.
    const char separator = size % 2 == 0 ? ',' : '.';
    WriteInput(bytes);
    const auto parsed = ParseProject(bytes, separator);
    const auto* project = std::get_if<ProjectData>(&parsed);

    Check(ParseProjectFile(inputPath, separator) == parsed,
          "the file reader and the memory reader differ");
    if (const std::optional<std::string> padded = Straddling(bytes)) {
        const std::string path = dir.string() + "/straddling.qlf";
        WriteFile(path, *padded);
        Check(ParseProjectFile(path, separator) == ParseProject(*padded, separator),
              "the file reader and the memory reader differ at the end of a chunk");
    }

    HeadlessPlatform platform(separator);
    frmMain form(platform, WIDTH, HEIGHT);
    form.RandomSeed = 1;
    form.Form_Load();
    form.LoadProject(inputPath);

    if (project == nullptr) {
        CheckCounts(form, 0, 0, 0, "a file that does not parse left a drawing");
        Check(platform.messages == 1, "a file that does not parse gave no single message");
        Check(!form.enabled.mnuSaveAs, "a file that does not parse left Save as enabled");
        return 0;
    }
    Check(form.intPointCount > 0, "a file that parses did not load");
    Check(platform.messages == 0, "a file that loads gave a message");
    Check(CollectProject(form) == *project, "the drawing differs from what the parser read");
    Check(form.strFileName == inputPath, "the loaded file's name was not kept");

    const std::size_t points = project->points.size();
    const std::size_t lines = project->lines.size();
    const std::size_t fills = project->fills.size();
    const Expected expected = Paint(*project);
    Check(form.picMain.Pixels() == expected.loaded, "the loaded picture differs");
    const std::string text = WriteProject(*project, separator);
    Check(Save(form, platform) == text, "the loaded drawing saves to other text");

    form.cmdAll_Click();
    CheckCounts(form, points, lines, fills, "redrawing everything changed the drawing");
    const std::vector<Colour> redrawn = form.picMain.Pixels();

    // One fill undo, made final by leaving fill mode, drops the newest fill.
    if (fills > 0) {
        frmMain copy = form;
        copy.SetFillValue(1);
        copy.mnuUndo_Click();
        copy.SetFillValue(0);
        Check(copy.picMain.Pixels() == expected.beforeLast, "fill undo showed another picture");
        CheckCounts(copy, points, lines, fills - 1, "a fill undo was not made final");
        CheckSaved(Save(copy, platform), separator, points, lines, fills - 1);
    }

    // A whole cycle of fill undos shows each snapshot in turn and ends where it began, so
    // leaving fill mode then drops no fill.
    form.SetFillValue(1);
    const int depth = form.intFillUndoDepth;
    Check(depth == (fills < 2 ? static_cast<int>(fills) : 2), "the load kept other snapshots");
    form.mnuUndo_Click();
    if (depth > 0) {
        Check(form.picMain.Pixels() == expected.beforeLast, "fill undo showed another picture");
    }
    if (depth == 2) {
        form.mnuUndo_Click();
        Check(form.picMain.Pixels() == expected.beforeOneButLast,
              "the second fill undo showed another picture");
    }
    if (depth > 0) {
        form.mnuUndo_Click();
    }
    Check(form.picMain.Pixels() == redrawn, "a cycle of fill undos did not come back");
    form.SetFillValue(0);
    CheckCounts(form, points, lines, fills, "a cycle of fill undos dropped a fill");

    // Undo of a polygon never takes away lines that were loaded.
    form.mnuUndo_Click();
    CheckCounts(form, points, lines, fills, "undo took away loaded elements");

    const std::string saved = Save(form, platform);
    Check(saved == text, "after redraws and undos the drawing saves to other text");
    CheckSaved(saved, separator, points, lines, fills);

    form.cmdOnlyLines_Click();
    CheckCounts(form, points, lines, 0, "only the lines kept a fill");
    Check(form.picMain.Pixels() == expected.linesOnly, "only the lines drew another picture");
    form.cmdOnlyPoints_Click();
    CheckCounts(form, points, lines, 0, "only the points changed the drawing");
    form.cmdAll_Click();
    CheckSaved(Save(form, platform), separator, points, lines, 0);
    return 0;
}
