// A seeded random soak of the main window. Random users move, press, drag and click anywhere,
// type and paste corner counts, fill, undo, redraw, start anew, save, load and quit, in any
// order and also through commands that are disabled at the time (the handlers guard their own
// preconditions); the window's invariants are checked after every event.
//
// Runs are deterministic. QUILLET_SOAK_SEED replays one seed, QUILLET_SOAK_EVENTS sets the
// events per seed (100000 for a long run), and QUILLET_SOAK_ENABLED_ONLY=1 keeps to the
// commands a user can reach. Each failing check is reported once per seed, at its first
// occurrence and with the events that led there, and the run goes on, so that one run shows
// every kind of fault; a crash writes the same events from its signal handler.
#include "app/main_window.h"
#include "project/numbers.h"
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <variant>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace quillet {
namespace {

using testing::ScriptedPlatform;
using testing::TempDir;

constexpr int W = 581;
constexpr int H = 493;

// Checks named in more than one place.
constexpr const char* MARK_FORGOTTEN = "a wholesale repaint forgets the hover mark";
constexpr const char* RELOADS_EXACTLY = "a saved project reloads as its file says, bit for bit";
constexpr const char* SAVED_NEARLY = "a saved project holds the drawing to 15 digits";

std::string Num(double v) {
    char s[40];
    std::snprintf(s, sizeof s, "%.9g", v);
    return s;
}

std::string Name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The drawing as a project file holds it: the first `count` entries of each list.
ProjectData Drawing(const DrawingState& d) {
    ProjectData p;
    for (int i = 1; i <= std::min<int>(d.intPointCount, d.arrPoints.UBound()); ++i) {
        p.points.push_back(d.arrPoints[i]);
    }
    for (int i = 1; i <= std::min<int>(d.intLineCount, d.arrLines.UBound()); ++i) {
        p.lines.push_back(d.arrLines[i]);
    }
    for (int i = 1; i <= std::min<int>(d.intFillCount, d.arrFills.UBound()); ++i) {
        p.fills.push_back(d.arrFills[i]);
    }
    return p;
}

std::array<double, 2> Fields(const udtPoint& p) {
    return {p.X, p.Y};
}
std::array<double, 4> Fields(const udtLine& l) {
    return {l.X1, l.Y1, l.X2, l.Y2};
}
std::array<double, 3> Fields(const udtFill& f) {
    return {static_cast<double>(f.Color), f.X, f.Y};
}

// Where two drawings first differ, value by value as `same` judges them; empty when they do not.
template <class Same> std::string FirstDiff(const ProjectData& a, const ProjectData& b, Same same) {
    auto diff = [&](const char* what, const auto& x, const auto& y) -> std::string {
        if (x.size() != y.size()) {
            return std::string(what) + "s: " + std::to_string(x.size()) + " vs " +
                   std::to_string(y.size());
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            const auto fx = Fields(x[i]);
            const auto fy = Fields(y[i]);
            for (std::size_t j = 0; j < fx.size(); ++j) {
                if (!same(fx[j], fy[j])) {
                    char s[120];
                    std::snprintf(s, sizeof s, "%s %zu: %.17g vs %.17g", what, i + 1, fx[j], fy[j]);
                    return s;
                }
            }
        }
        return {};
    };
    std::string d = diff("point", a.points, b.points);
    if (d.empty()) {
        d = diff("line", a.lines, b.lines);
    }
    if (d.empty()) {
        d = diff("fill", a.fills, b.fills);
    }
    return d;
}

// Where a saved drawing first differs from the one it was written from by more than the
// written digits allow; empty when it does not.
std::string NearDiff(const ProjectData& written, const ProjectData& drawn) {
    return FirstDiff(written, drawn, [](double a, double b) {
        return std::fabs(a - b) <= 1e-13 * std::fabs(b) || std::fabs(a - b) <= 1e-290;
    });
}

// Where two drawings first differ bit for bit; empty when they do not.
std::string BitDiff(const ProjectData& a, const ProjectData& b) {
    return FirstDiff(a, b, [](double x, double y) {
        return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
    });
}

// What the checks compare before and after an event.
struct State {
    ProjectData drawing;
    List1<udtUndoStep> stepLines, stepPoints;
    int undoSteps = 0, undoFloor = 0, fillUndoDepth = 0, fillUndoCount = 0;
    bool modified = false;
    int phase = 0, chkFill = 0;
    bool markShown = false;
    CommandStates enabled;
    std::vector<Colour> pixels; // only where a check needs them
};

State Capture(const frmMain& f, bool withPixels = false) {
    State s{Drawing(f),
            f.arrStepLines,
            f.arrStepPoints,
            f.intUndoSteps,
            f.intUndoFloor,
            f.intFillUndoDepth,
            f.intFillUndoCount,
            f.blnModified,
            f.intClickPhase,
            f.ctl.chkFill,
            f.blnMarkShown,
            f.enabled,
            {}};
    if (withPixels) {
        s.pixels = f.picMain.Pixels();
    }
    return s;
}

// The document: the drawing, the undo state and the modified flag.
std::string DocumentDiff(const State& a, const State& b) {
    if (std::string d = BitDiff(a.drawing, b.drawing); !d.empty()) {
        return d;
    }
    if (a.stepLines != b.stepLines || a.stepPoints != b.stepPoints || a.undoSteps != b.undoSteps ||
        a.undoFloor != b.undoFloor) {
        return "undo steps";
    }
    if (a.fillUndoDepth != b.fillUndoDepth || a.fillUndoCount != b.fillUndoCount) {
        return "fill undo";
    }
    return a.modified != b.modified ? "modified flag" : "";
}

std::string StateDiff(const State& a, const State& b) {
    if (std::string d = DocumentDiff(a, b); !d.empty()) {
        return d;
    }
    if (a.phase != b.phase || a.chkFill != b.chkFill || a.markShown != b.markShown) {
        return "construction or fill mode";
    }
    if (a.enabled != b.enabled) {
        return "enabled commands";
    }
    return a.pixels != b.pixels ? "canvas" : "";
}

// The newest events, kept where a crash handler can write them out without allocating.
struct EventLog {
    static constexpr std::size_t KEEP = 200;
    std::array<std::string, KEEP> ring;
    std::size_t added = 0;
    std::uint64_t seed = 0;
    long long event = 0;

    void Add(long long at, const std::string& text) {
        event = at;
        ring[added % KEEP] = "#" + std::to_string(at) + " " + text;
        ++added;
    }
    std::size_t First() const { return added > KEEP ? added - KEEP : 0; }
    std::string Tail() const {
        std::string out = "    ";
        std::size_t width = 4;
        for (std::size_t i = First(); i < added; ++i) {
            const std::string& e = ring[i % KEEP];
            if (width + e.size() > 100) {
                out += "\n    ";
                width = 4;
            }
            out += e + "  ";
            width += e.size() + 2;
        }
        return out;
    }
};

EventLog* crashLog = nullptr;

void WriteOut(const char* s, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(2, s, n);
        if (w <= 0) {
            return;
        }
        s += w;
        n -= static_cast<std::size_t>(w);
    }
}

void DumpEventsOnCrash() {
    const EventLog* log = crashLog;
    if (log == nullptr) {
        return;
    }
    char head[160];
    const int n = std::snprintf(head, sizeof head,
                                "\nsoak crashed: seed %llu at event #%lld; the last events:\n",
                                static_cast<unsigned long long>(log->seed), log->event);
    WriteOut(head, static_cast<std::size_t>(n));
    for (std::size_t i = log->First(); i < log->added; ++i) {
        const std::string& e = log->ring[i % EventLog::KEEP];
        WriteOut(e.data(), e.size());
        WriteOut("\n", 1);
    }
}

void OnFatalSignal(int sig) {
    DumpEventsOnCrash();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// The scripted platform, also noting what the current event did with the dialogs and files.
class SoakPlatform : public ScriptedPlatform {
  public:
    const frmMain* form = nullptr;
    std::map<std::string, ProjectData> projects; // each project file, as its text says
    std::map<std::string, ProjectData> drawn;    // and the drawing it was written from

    std::optional<MsgResult> prompt; // the answer to the save-changes question
    bool saveDialogCancelled = false;
    bool writeFailed = false;
    std::vector<std::string> saved; // projects written by this event
    std::optional<State> atOpen;    // the document when the open dialog was shown

    void BeginEvent() {
        prompt.reset();
        saveDialogCancelled = writeFailed = false;
        saved.clear();
        atOpen.reset();
        answers.clear();
        saveAnswers.clear();
        openAnswers.clear();
        colourAnswers.clear();
        messages.clear();
        saveRequests.clear();
        openRequests.clear();
        colourInitials.clear();
        colourTitles.clear();
        exported.clear();
        failWrites.reset();
    }

    using ScriptedPlatform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons, const std::string& detail) override {
        const MsgResult r = ScriptedPlatform::MsgBox(text, title, icon, buttons, detail);
        if (buttons == MsgButtons::YesNoCancel) {
            prompt = r;
        }
        return r;
    }
    std::optional<FileDialogAnswer> ShowSave(const FileDialogRequest& request) override {
        std::optional<FileDialogAnswer> a = ScriptedPlatform::ShowSave(request);
        saveDialogCancelled = !a;
        return a;
    }
    std::optional<FileDialogAnswer> ShowOpen(const FileDialogRequest& request) override {
        atOpen = Capture(*form);
        return ScriptedPlatform::ShowOpen(request);
    }
    std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                   const std::string& bytes) override {
        std::optional<std::string> r = ScriptedPlatform::WriteFileAtomically(path, bytes);
        if (r) {
            writeFailed = true;
        } else if (exporting_) {
            projects.erase(path);
        } else {
            auto parsed = ParseProject(bytes, DecimalSeparator());
            drawn[path] = Drawing(*form);
            projects[path] = std::holds_alternative<ProjectData>(parsed)
                                 ? std::get<ProjectData>(parsed)
                                 : ProjectData{}; // an unreadable file fails every reload
            saved.push_back(path);
        }
        return r;
    }
    std::optional<std::string> ExportBitmap(const Surface& image,
                                            const std::string& path) override {
        exporting_ = true;
        std::optional<std::string> r = ScriptedPlatform::ExportBitmap(image, path);
        exporting_ = false;
        return r;
    }

  private:
    bool exporting_ = false;
};

enum class Kind { Other, FillOn, Undo, Redraw, New, Save, Open, Quit };
enum class File { None, Cancel, Missing, Malformed, Saved };

struct Event {
    Kind kind = Kind::Other;
    std::string what;
    std::optional<MsgResult> answer; // scripted for the save-changes question
    File file = File::None;
    std::string path;
    int cancel = -1; // Form_Unload's answer; -1 for the Quit menu
};

struct Failure {
    long long first = 0;
    long long count = 0;
};

// How much of the program a run reached.
struct Coverage {
    long long steps = 0, fills = 0, saves = 0, loads = 0, restarts = 0;
    int maxPoints = 0;
};

class Soak {
  public:
    Soak(std::uint64_t seed, bool enabledOnly) : seed_(seed), enabledOnly_(enabledOnly) {
        rng_.seed(seed);
        log_.seed = seed;
        platform_.decimalSeparator = Chance(50) ? ',' : '.';
        Start("");
    }

    void Run(long long events) {
        struct Entry {
            int weight;
            bool CommandStates::*command; // the control it needs enabled, if any
            void (Soak::*act)(Event&);
        };
        const std::vector<Entry> table{
            {150, nullptr, &Soak::Move},
            {30, nullptr, &Soak::Press},
            {30, nullptr, &Soak::Release},
            {40, nullptr, &Soak::Click},
            {250, nullptr, &Soak::ClickAt},
            {30, nullptr, &Soak::TypeCorners},
            {25, nullptr, &Soak::PasteCorners},
            {25, &CommandStates::chkFill, &Soak::FillOn},
            {35, &CommandStates::chkFill, &Soak::FillOff},
            {45, nullptr, &Soak::Palette},
            {60, &CommandStates::mnuUndo, &Soak::Undo},
            {15, &CommandStates::cmdAll, &Soak::RedrawAll},
            {15, &CommandStates::cmdOnlyLines, &Soak::RedrawLines},
            {15, &CommandStates::cmdOnlyPoints, &Soak::RedrawPoints},
            {8, nullptr, &Soak::New},
            {20, &CommandStates::mnuSaveAs, &Soak::SaveAs},
            {25, &CommandStates::mnuOpen, &Soak::Open},
            {10, nullptr, &Soak::Quit},
        };
        int total = 0;
        for (const Entry& e : table) {
            total += e.weight;
        }
        crashLog = &log_;
        for (events_ = 0; events_ < events; ++events_) {
            const Entry* e = nullptr;
            for (;;) {
                int w = Int(0, total - 1);
                for (const Entry& c : table) {
                    if (w < c.weight) {
                        e = &c;
                        break;
                    }
                    w -= c.weight;
                }
                forced_ = e->command != nullptr && !(form_->enabled.*(e->command));
                if (!forced_ || (!enabledOnly_ && Chance(25))) {
                    break;
                }
            }
            const bool constructing = form_->intClickPhase == 1 || form_->intClickPhase == 2;
            const State before = Capture(*form_, e->act == &Soak::Undo && constructing);
            const int refreshes = platform_.refreshes;
            platform_.BeginEvent();
            Event ev;
            (this->*(e->act))(ev);
            platform_.failWrites.reset();
            Check(before, ev, platform_.refreshes != refreshes);
        }
        crashLog = nullptr;
    }

    const std::map<std::string, Failure>& Failures() const { return failures_; }
    const Coverage& Reached() const { return reached_; }

  private:
    // --- Random choices ---

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    double Real(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng_);
    }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    double Far() { return (Chance(50) ? -1 : 1) * std::pow(10.0, Real(3, 7)); }

    // On the canvas, on or beside a corner, near the edges, far off, or extreme.
    std::pair<float, float> Pos() {
        const frmMain& f = *form_;
        const int points = std::min<int>(f.intPointCount, f.arrPoints.UBound());
        double x = 0, y = 0;
        const int r = Int(0, 99);
        if (r < 35) {
            x = Int(0, W - 1);
            y = Int(0, H - 1);
        } else if (r < 50 || (r < 70 && points == 0)) {
            x = Real(0, W);
            y = Real(0, H);
        } else if (r < 70) {
            const udtPoint& p = f.arrPoints[Int(1, points)];
            x = p.X;
            y = p.Y;
            if (r >= 62) {
                x += Real(-4, 4);
                y += Real(-4, 4);
            }
        } else if (r < 85) {
            x = Real(-40, W + 40);
            y = Real(-40, H + 40);
        } else if (r < 97) {
            x = Far();
            y = Chance(50) ? Real(0, H) : Far();
        } else {
            constexpr float MAX = std::numeric_limits<float>::max();
            constexpr std::array<float, 6> EXTREME{1e30f, -1e30f, MAX, -MAX, 1e-30f, 0.5f};
            x = EXTREME[static_cast<std::size_t>(Int(0, 5))];
            y = EXTREME[static_cast<std::size_t>(Int(0, 5))];
        }
        // A mouse reports finite floats, and never a negative zero.
        auto toFloat = [](double v) {
            const float f =
                std::fabs(v) <= std::numeric_limits<float>::max() ? static_cast<float>(v) : 0.0f;
            return f == 0 ? 0.0f : f;
        };
        return {toFloat(x), toFloat(y)};
    }

    static std::string At(std::pair<float, float> p) { return Num(p.first) + "," + Num(p.second); }

    void Note(const std::string& text) { log_.Add(events_, (forced_ ? "!" : "") + text); }

    // --- Events ---

    void Move(Event&) {
        const auto p = Pos();
        Note("mv" + At(p));
        form_->picMain_MouseMove(form_->blnMouseDown ? 1 : 0, 0, p.first, p.second);
    }
    void Press(Event&) {
        const auto p = Pos();
        Note("dn" + At(p));
        form_->picMain_MouseDown(1, 0, p.first, p.second);
    }
    void Release(Event&) {
        const auto p = Pos();
        Note("up" + At(p));
        form_->picMain_MouseUp(1, 0, p.first, p.second);
    }
    void Click(Event&) {
        Note("clk");
        form_->picMain_Click();
    }
    // Move there, press, perhaps drag on, release and click.
    void ClickAt(Event&) {
        std::vector<std::pair<float, float>> path{Pos()};
        const int r = Int(0, 9);
        for (int i = r < 7 ? 0 : r < 9 ? 1 : 2; i > 0; --i) {
            path.push_back(Pos());
        }
        std::string text = "at";
        for (const auto& p : path) {
            text += (text.size() > 2 ? ">" : "") + At(p);
        }
        Note(text);
        frmMain& f = *form_;
        f.picMain_MouseMove(0, 0, path[0].first, path[0].second);
        f.picMain_MouseDown(1, 0, path[0].first, path[0].second);
        for (const auto& p : path) {
            f.picMain_MouseMove(1, 0, p.first, p.second);
        }
        f.picMain_MouseUp(1, 0, path.back().first, path.back().second);
        f.picMain_Click();
    }
    void TypeCorners(Event&) {
        static constexpr std::string_view KEYS = "0123456789\b\b,.-ae ";
        std::string text = Chance(50) ? "" : form_->ctl.txtNumCorners;
        std::string keys;
        for (int i = Int(1, 3); i > 0; --i) {
            keys += KEYS[static_cast<std::size_t>(Int(0, static_cast<int>(KEYS.size()) - 1))];
        }
        const bool leave = Chance(50);
        std::string shown;
        for (char c : keys) {
            shown += c == '\b' ? std::string("<bs>") : std::string(1, c);
        }
        Note("type" + std::string(text.empty() ? "=" : "+") + "'" + shown + "'" +
             (leave ? " leave" : ""));
        for (char c : keys) {
            int key = static_cast<unsigned char>(c);
            form_->txtNumCorners_KeyPress(key);
            if (key == 8 && !text.empty()) {
                text.pop_back();
            } else if (key != 8 && key != 0) {
                text += static_cast<char>(key);
            }
        }
        form_->ctl.txtNumCorners = text;
        if (leave) {
            form_->txtNumCorners_LostFocus();
        }
    }
    void PasteCorners(Event&) {
        static constexpr std::array<const char*, 10> VALID{"3", "4",  "5",  "6",   "7",
                                                           "8", "10", "12", "3,5", "50"};
        static constexpr std::array<const char*, 12> INVALID{
            "", "2", "51", "abc", "1e1", " 6 ", "+5", "-4", "2,5", "50,6", "0", "4.5.1"};
        const char* text = Chance(65)
                               ? VALID[static_cast<std::size_t>(Int(0, VALID.size() - 1))]
                               : INVALID[static_cast<std::size_t>(Int(0, INVALID.size() - 1))];
        Note(std::string("paste'") + text + "'");
        form_->ctl.txtNumCorners = text;
        form_->txtNumCorners_LostFocus();
    }
    void FillOn(Event& ev) {
        ev.kind = Kind::FillOn;
        Note("fill1");
        form_->SetFillValue(1);
    }
    void FillOff(Event&) {
        Note("fill0");
        form_->SetFillValue(0);
    }
    void Palette(Event&) {
        const int i = Int(-1, 17);
        std::optional<std::uint32_t> colour;
        if (!Chance(30)) {
            colour = static_cast<std::uint32_t>(rng_());
        }
        std::string text = "pal" + std::to_string(i);
        if (i == 16) {
            char s[16];
            std::snprintf(s, sizeof s, "=%08x", colour ? *colour : 0u);
            text += colour ? s : "=cancel";
            platform_.colourAnswers.push_back(colour);
        }
        Note(text);
        form_->picSelColor_Click(i);
    }
    void Undo(Event& ev) {
        ev.kind = Kind::Undo;
        Note("undo");
        form_->mnuUndo_Click();
    }
    void RedrawAll(Event& ev) {
        ev.kind = Kind::Redraw;
        ev.what = "all";
        Note("all");
        form_->cmdAll_Click();
    }
    void RedrawLines(Event& ev) {
        ev.kind = Kind::Redraw;
        ev.what = "lines";
        Note("lines");
        form_->cmdOnlyLines_Click();
    }
    void RedrawPoints(Event& ev) {
        ev.kind = Kind::Redraw;
        ev.what = "points";
        Note("points");
        form_->cmdOnlyPoints_Click();
    }
    void New(Event& ev) {
        ev.kind = Kind::New;
        Note("new " + ScriptPrompt(ev, 30, 40));
        form_->mnuNew_Click();
    }
    void SaveAs(Event& ev) {
        ev.kind = Kind::Save;
        Note("save " + ScriptSave());
        form_->mnuSaveAs_Click();
    }
    void Open(Event& ev) {
        ev.kind = Kind::Open;
        std::string text = "open " + ScriptPrompt(ev, 30, 40) + " > ";
        const int r = Int(0, 99);
        if (r < 15) {
            ev.file = File::Cancel;
            text += "cancel";
            platform_.openAnswers.push_back(std::nullopt);
        } else {
            if (r < 25) {
                ev.file = File::Missing;
                ev.path = dir_.File("missing.qlf");
                text += "missing.qlf";
            } else if (r < 55 || platform_.projects.empty()) {
                ev.file = File::Malformed;
                std::string what;
                ev.path = MalformedFile(what);
                text += what;
            } else {
                ev.file = File::Saved;
                ev.path = SavedPath();
                text += Name(ev.path);
            }
            platform_.openAnswers.push_back(FileDialogAnswer{ev.path, 1});
        }
        Note(text);
        form_->mnuOpen_Click();
    }
    void Quit(Event& ev) {
        ev.kind = Kind::Quit;
        const std::string text = ScriptPrompt(ev, 30, 10);
        if (Chance(50)) {
            Note("quit " + text);
            form_->mnuQuit_Click();
        } else {
            Note("close " + text);
            ev.cancel = 0;
            form_->Form_Unload(ev.cancel);
        }
        ev.what = text;
    }

    // The answer to the save-changes question (Cancel for the rest), and the save dialog's.
    std::string ScriptPrompt(Event& ev, int yes, int no) {
        const int r = Int(0, 99);
        ev.answer = r < yes ? MsgResult::Yes : r < yes + no ? MsgResult::No : MsgResult::Cancel;
        platform_.answers.push_back(*ev.answer);
        if (ev.answer == MsgResult::Yes) {
            return "Y/" + ScriptSave();
        }
        return ev.answer == MsgResult::No ? "N" : "C";
    }
    std::string ScriptSave() {
        if (Chance(15)) {
            platform_.saveAnswers.push_back(std::nullopt);
            return "cancel";
        }
        static constexpr std::array<const char*, 7> NAMES{"a.qlf", "b.qlf", "C.QLF",     "plain",
                                                          "d.bmp", "E.BMP", "gone/f.qlf"};
        const char* name = NAMES[static_cast<std::size_t>(Int(0, NAMES.size() - 1))];
        const int filter = Int(1, 2);
        platform_.saveAnswers.push_back(FileDialogAnswer{dir_.File(name), filter});
        std::string text = std::string(name) + "#" + std::to_string(filter);
        if (Chance(12)) {
            const int stage = Int(0, 4);
            platform_.failWrites =
                testing::WriteFault{static_cast<testing::WriteStage>(stage), "scripted"};
            text += " fail" + std::to_string(stage);
        }
        return text;
    }

    std::string SavedPath() {
        auto it = platform_.projects.begin();
        std::advance(it, Int(0, static_cast<int>(platform_.projects.size()) - 1));
        return it->first;
    }

    // A file that cannot be a project: a saved one cut short or with bare line feeds, or junk.
    // Every cut loses at least the end of the last trailer line.
    std::string MalformedFile(std::string& what) {
        if (!platform_.projects.empty() && Chance(60)) {
            const std::string source = SavedPath();
            std::string bytes = TempDir::Read(source);
            if (bytes.size() > 3) {
                if (Chance(50)) {
                    const int cut = Int(0, static_cast<int>(bytes.size()) - 3);
                    bytes.resize(static_cast<std::size_t>(cut));
                    what = "cut " + Name(source) + "@" + std::to_string(cut);
                } else {
                    std::erase(bytes, '\r');
                    what = "lf " + Name(source);
                }
                return dir_.Write("bad.qlf", bytes);
            }
        }
        static constexpr std::array<const char*, 4> JUNK{
            "", "BM", "no drawing\r\n",
            "*--------------------*\r\n|Tavenor Quillet File|\r\n*--------------------*\r\n\r\n"
            "<Punten num=1>\r\n1;1\r\n</Punten>\r\n"};
        const int i = Int(0, JUNK.size() - 1);
        what = "junk" + std::to_string(i);
        return dir_.Write("bad.qlf", JUNK[static_cast<std::size_t>(i)]);
    }

    void Start(const std::string& cmdLine) {
        form_ = std::make_unique<frmMain>(platform_, W, H);
        platform_.form = form_.get();
        form_->RandomSeed = rng_();
        form_->strCmdLine = cmdLine;
        form_->Form_Load();
    }

    // The program was closed: it starts again, often with a project on the command line.
    void Restart() {
        std::string path, what = "empty";
        const int r = Int(0, 99);
        if (r < 50 && !platform_.projects.empty()) {
            path = SavedPath();
            what = Name(path);
        } else if (r < 65) {
            path = MalformedFile(what);
        } else if (r < 75) {
            path = dir_.File("missing.qlf");
            what = "missing.qlf";
        }
        log_.Add(events_, "restart " + what);
        platform_.BeginEvent();
        Start(path);
        const frmMain& f = *form_;
        const auto saved = platform_.projects.find(path);
        if (saved != platform_.projects.end() && LowerEnding(path) == ".qlf") {
            if (std::string d = BitDiff(Drawing(f), saved->second); !d.empty()) {
                Fail(RELOADS_EXACTLY, "start-up with " + what + ": " + d);
            }
        } else {
            CommandStates none;
            none.mnuUndo = none.mnuSaveAs = none.chkFill = false;
            if (f.intPointCount != 0 || f.enabled != none) {
                Fail("start-up without a drawing shows an empty one", what);
            }
        }
        Invariants(f.intPointCount);
        fillsAtStep_.assign(static_cast<std::size_t>(std::max<int>(0, f.intUndoSteps)),
                            f.intFillCount);
    }

    // --- Checks ---

    void Fail(const std::string& check, const std::string& detail) {
        auto [it, first] = failures_.try_emplace(check, Failure{events_, 0});
        ++it->second.count;
        if (!first) {
            return;
        }
        const std::size_t shown = std::min(log_.added, EventLog::KEEP);
        ADD_FAILURE() << check << " (" << detail << ")\n  seed " << seed_ << ", event #" << events_
                      << "; replay: QUILLET_SOAK_SEED=" << seed_
                      << " QUILLET_SOAK_EVENTS=" << events_ + 1
                      << (enabledOnly_ ? " QUILLET_SOAK_ENABLED_ONLY=1" : "") << "\n  the last "
                      << shown << " events ('!': the command was disabled):\n"
                      << log_.Tail();
    }

    // What the save-changes question leads to with the scripted answers.
    SaveOutcome ExpectedAsk(const State& before, const Event& ev) const {
        if (!before.modified || ev.answer == MsgResult::No) {
            return SaveOutcome::GoOn;
        }
        if (ev.answer != MsgResult::Yes) {
            return SaveOutcome::Stop;
        }
        if (before.drawing.points.empty()) {
            return SaveOutcome::GoOn; // nothing to save
        }
        if (platform_.saveDialogCancelled) {
            return SaveOutcome::DialogCancelled;
        }
        return platform_.writeFailed ? SaveOutcome::Stop : SaveOutcome::GoOn;
    }

    // Points beyond newPointsFrom were added by the event just made.
    void Invariants(int newPointsFrom) {
        const frmMain& f = *form_;
        for (const Surface* s : {&f.picMain, &f.picUndo1, &f.picUndo2, &f.picTemp}) {
            if (s->ScaleWidth() != W || s->ScaleHeight() != H ||
                s->Pixels().size() != static_cast<std::size_t>(W) * H) {
                Fail("surfaces keep the canvas size", "");
            }
        }
        auto fits = [](int count, int ubound) { return count >= 0 && count <= ubound; };
        if (!fits(f.intPointCount, f.arrPoints.UBound()) ||
            !fits(f.intLineCount, f.arrLines.UBound()) ||
            !fits(f.intFillCount, f.arrFills.UBound())) {
            Fail("counts within their lists", std::to_string(f.intPointCount) + "/" +
                                                  std::to_string(f.intLineCount) + "/" +
                                                  std::to_string(f.intFillCount));
            return; // the checks below read the lists up to the counts
        }
        if (f.intNumCorners < 3 || f.intNumCorners > 50) {
            Fail("corner count 3 to 50", std::to_string(f.intNumCorners));
        }
        if (f.intClickPhase < 0 || f.intClickPhase > 3) {
            Fail("click phase 0 to 3", std::to_string(f.intClickPhase));
        }
        if (f.intClickPhase == 1 || f.intClickPhase == 2) {
            const CommandStates& e = f.enabled;
            if (e.cmdAll || e.cmdOnlyPoints || e.cmdOnlyLines || e.mnuUndo || e.mnuSaveAs ||
                e.mnuOpen || e.chkFill) {
                Fail("commands off during a construction",
                     "phase " + std::to_string(f.intClickPhase));
            }
        }
        if (f.intFillUndoDepth < 0 || f.intFillUndoDepth > 2 || f.intFillUndoCount < 0 ||
            (f.ctl.chkFill == 0 && f.intFillUndoCount != 0)) {
            Fail("fill undo state", "depth " + std::to_string(f.intFillUndoDepth) + ", count " +
                                        std::to_string(f.intFillUndoCount));
        }
        if (f.intUndoFloor < 0 || f.intUndoFloor > f.intLineCount) {
            Fail("undo floor within the lines", std::to_string(f.intUndoFloor));
        }
        if (f.arrStepLines.UBound() != f.intUndoSteps ||
            f.arrStepPoints.UBound() != f.intUndoSteps) {
            Fail("step lists as long as the undo steps",
                 std::to_string(f.arrStepLines.UBound()) + "/" +
                     std::to_string(f.arrStepPoints.UBound()) + " vs " +
                     std::to_string(f.intUndoSteps));
        }
        // A step lists what its polygon added, ascending; a loaded drawing's step names the
        // count of loaded lines once for each of them.
        const int steps = std::min(
            {static_cast<int>(f.intUndoSteps), f.arrStepLines.UBound(), f.arrStepPoints.UBound()});
        for (int k = 1; k <= steps; ++k) {
            for (bool lines : {true, false}) {
                const udtUndoStep& s = lines ? f.arrStepLines[k] : f.arrStepPoints[k];
                const int count = lines ? f.intLineCount : f.intPointCount;
                const bool loaded = lines && k == 1 && f.intUndoFloor > 0;
                bool ok = s.Count == s.Items.UBound();
                for (int i = 1, prev = 0; ok && i <= s.Count; prev = s.Items[i++]) {
                    const int item = s.Items[i];
                    ok = item >= 1 && item <= count &&
                         (loaded ? item == f.intUndoFloor : item > prev);
                }
                if (!ok) {
                    Fail("step items ascend within the counts",
                         "step " + std::to_string(k) + (lines ? " lines" : " points"));
                }
            }
        }
        // Corners by their bits (a negative zero as zero): a construction adds none that is
        // stored already, and every line ends at stored corners.
        using Key = std::pair<std::uint64_t, std::uint64_t>;
        auto key = [](double x, double y) {
            return Key{std::bit_cast<std::uint64_t>(x + 0.0),
                       std::bit_cast<std::uint64_t>(y + 0.0)};
        };
        std::vector<Key> corners;
        for (int i = 1; i <= f.intPointCount; ++i) {
            corners.push_back(key(f.arrPoints[i].X, f.arrPoints[i].Y));
        }
        std::vector<Key> sorted = corners;
        std::sort(sorted.begin(), sorted.end());
        for (int i = newPointsFrom + 1; i <= f.intPointCount; ++i) {
            const auto same = std::equal_range(sorted.begin(), sorted.end(), corners[i - 1]);
            if (same.second - same.first > 1) {
                Fail("a construction stores no point twice", "point " + std::to_string(i) + ": " +
                                                                 Num(f.arrPoints[i].X) + "," +
                                                                 Num(f.arrPoints[i].Y));
                break;
            }
        }
        for (int i = 1; i <= f.intLineCount; ++i) {
            const udtLine& l = f.arrLines[i];
            if (!std::binary_search(sorted.begin(), sorted.end(), key(l.X1, l.Y1)) ||
                !std::binary_search(sorted.begin(), sorted.end(), key(l.X2, l.Y2))) {
                Fail("line ends are stored points",
                     "line " + std::to_string(i) + " of " + std::to_string(f.intLineCount) +
                         ", points " + std::to_string(f.intPointCount));
                break;
            }
        }
    }

    void CheckUndo(const State& before) {
        const frmMain& f = *form_;
        if (before.phase == 1 || before.phase == 2) {
            if (std::string d = StateDiff(before, Capture(f, true)); !d.empty()) {
                Fail("Undo during a construction changes nothing", d);
            }
            return;
        }
        if (before.chkFill != 0 || f.intUndoSteps != before.undoSteps - 1) {
            return; // a fill undo, or none
        }
        if (f.blnMarkShown) {
            Fail(MARK_FORGOTTEN, "polygon undo");
        }
        if (!before.drawing.points.empty() && f.intPointCount == 0 &&
            (f.enabled.mnuSaveAs || f.enabled.chkFill)) {
            Fail("an undo that leaves no points disables Save as and Fill Mode", "");
        }
        if (fillsAtStep_.size() != static_cast<std::size_t>(before.undoSteps)) {
            return;
        }
        const std::size_t keep = std::min<std::size_t>(
            static_cast<std::size_t>(fillsAtStep_.back()), before.drawing.fills.size());
        ProjectData expected, actual;
        expected.fills.assign(before.drawing.fills.begin(),
                              before.drawing.fills.begin() + static_cast<std::ptrdiff_t>(keep));
        actual.fills = Drawing(f).fills;
        const std::string step = "step " + std::to_string(before.undoSteps) + " opened after " +
                                 std::to_string(keep) + " fills: ";
        if (std::string d = BitDiff(actual, expected); !d.empty()) {
            Fail("polygon undo drops the fills made after its step", step + d);
        } else if (f.intFillUndoDepth != 0) {
            Fail("polygon undo drops the fills made after its step",
                 step + "fill undo depth " + std::to_string(f.intFillUndoDepth));
        }
    }

    // A saved project loaded into the running window: its drawing, painted as a fresh start.
    void CheckLoaded(const std::string& path) {
        const frmMain& f = *form_;
        if (std::string d = BitDiff(Drawing(f), platform_.projects.at(path)); !d.empty()) {
            Fail(RELOADS_EXACTLY, "running window, " + Name(path) + ": " + d);
        }
        testing::Form fresh;
        fresh.platform.decimalSeparator = platform_.decimalSeparator;
        fresh.form.LoadProject(path);
        if (fresh.form.picMain.Pixels() != f.picMain.Pixels()) {
            Fail("Load paints as in a fresh window", Name(path));
        }
    }

    void ReloadFresh(const std::string& path) {
        if (std::string d = NearDiff(platform_.projects.at(path), platform_.drawn.at(path));
            !d.empty()) {
            Fail(SAVED_NEARLY, Name(path) + ": " + d);
        }
        testing::Form fresh;
        fresh.platform.decimalSeparator = platform_.decimalSeparator == ',' ? '.' : ',';
        fresh.form.LoadProject(path);
        if (std::string d = BitDiff(Drawing(fresh.form), platform_.projects.at(path)); !d.empty()) {
            Fail(RELOADS_EXACTLY, "fresh window, " + Name(path) + ": " + d);
        }
    }

    void Check(const State& before, const Event& ev, bool refreshed) {
        const frmMain& f = *form_;
        // A load brings its own points; duplicates there are the file's, checked on reload.
        const bool load = ev.kind == Kind::Open && platform_.atOpen.has_value();
        Invariants(load ? f.intPointCount : static_cast<int>(before.drawing.points.size()));
        // Making fill undos final drops the fills no longer shown, even when the same event
        // then adds one: that fill, too, comes after every step opened so far.
        if (before.fillUndoCount > 0 && f.intFillUndoCount == 0) {
            const int shown = static_cast<int>(before.drawing.fills.size()) -
                              before.fillUndoCount % std::max(1, before.fillUndoDepth + 1);
            for (int& n : fillsAtStep_) {
                n = std::min(n, shown);
            }
        }
        bool loaded = false;
        bool closed = false;
        switch (ev.kind) {
        case Kind::Other:
            break;
        case Kind::FillOn:
            if (before.chkFill == 0 && before.phase != 1 && before.phase != 2 &&
                f.intFillUndoDepth > 0 && !f.enabled.mnuUndo) {
                Fail("Fill Mode on keeps Undo for the fill snapshots",
                     "depth " + std::to_string(f.intFillUndoDepth));
            }
            break;
        case Kind::Undo:
            CheckUndo(before);
            break;
        case Kind::Redraw:
            if (refreshed && f.blnMarkShown) {
                Fail(MARK_FORGOTTEN, ev.what);
            }
            break;
        case Kind::New:
            // Only the new drawing refreshes the canvas.
            if (refreshed != (ExpectedAsk(before, ev) == SaveOutcome::GoOn)) {
                Fail("New asks before it discards changes", refreshed ? "discarded" : "kept");
            }
            if (refreshed && f.blnMarkShown) {
                Fail(MARK_FORGOTTEN, "New");
            }
            if (refreshed && (f.intPointCount != 0 || f.intFillCount != 0 || f.intUndoSteps != 0 ||
                              f.intClickPhase != 0 || f.blnModified || f.ctl.chkFill != 0 ||
                              !f.strFileName.empty())) {
                Fail("New empties the drawing", "");
            }
            break;
        case Kind::Save:
            if (!platform_.saved.empty() && f.blnModified) {
                Fail("a saved project is no longer modified", Name(platform_.saved.back()));
            }
            break;
        case Kind::Open: {
            const bool shown = platform_.atOpen.has_value();
            if (before.phase == 1 || before.phase == 2) {
                // Load is locked while a polygon is built.
                if (shown || BitDiff(Drawing(f), before.drawing) != "") {
                    Fail("Load does nothing during a construction", "");
                }
                break;
            }
            if (shown != (ExpectedAsk(before, ev) == SaveOutcome::GoOn)) {
                Fail("Load asks before it discards changes", shown ? "discarded" : "kept");
            }
            if (!shown) {
                break;
            }
            File file = ev.file;
            if (file == File::Saved && platform_.projects.count(ev.path) == 0) {
                file = File::Malformed; // this event's save put a bitmap in its place
            }
            if (file == File::Saved) {
                CheckLoaded(ev.path);
                loaded = true;
            } else if (std::string d = DocumentDiff(*platform_.atOpen, Capture(f)); !d.empty()) {
                Fail(file == File::Malformed ? "a malformed file leaves the drawing as it was"
                     : file == File::Missing ? "a missing file leaves the drawing as it was"
                                             : "a cancelled Load leaves the drawing as it was",
                     d);
            }
            if (refreshed && f.blnMarkShown) {
                Fail(MARK_FORGOTTEN, "Load");
            }
            break;
        }
        case Kind::Quit: {
            const SaveOutcome o = ExpectedAsk(before, ev);
            closed = ev.cancel < 0 ? f.Unloaded : ev.cancel == 0;
            if (o == SaveOutcome::DialogCancelled) {
                if (closed) {
                    Fail("Quit stays when the save dialog is cancelled", ev.what);
                }
            } else if (closed != (o == SaveOutcome::GoOn)) {
                Fail("Quit asks before it discards changes", ev.what);
            }
            break;
        }
        }
        for (const std::string& path : platform_.saved) {
            ReloadFresh(path);
        }
        reached_.steps += f.intUndoSteps > before.undoSteps ? 1 : 0;
        reached_.fills += f.intFillCount > static_cast<int>(before.drawing.fills.size()) ? 1 : 0;
        reached_.saves += static_cast<long long>(platform_.saved.size());
        reached_.loads += loaded ? 1 : 0;
        reached_.restarts += closed ? 1 : 0;
        reached_.maxPoints = std::max<int>(reached_.maxPoints, f.intPointCount);
        // The fills there were when each undo step was opened, as far as they still exist.
        const auto steps = static_cast<std::size_t>(std::max<int>(0, f.intUndoSteps));
        if (loaded) {
            fillsAtStep_.assign(steps, f.intFillCount);
        }
        fillsAtStep_.resize(steps, f.intFillCount);
        for (int& n : fillsAtStep_) {
            n = std::min<int>(n, f.intFillCount);
        }
        if (closed) {
            Restart();
        }
    }

    std::uint64_t seed_;
    bool enabledOnly_;
    std::mt19937_64 rng_;
    TempDir dir_;
    SoakPlatform platform_;
    std::unique_ptr<frmMain> form_;
    EventLog log_;
    long long events_ = 0;
    bool forced_ = false;
    std::vector<int> fillsAtStep_;
    std::map<std::string, Failure> failures_;
    Coverage reached_;
};

TEST(Soak, RandomEventsKeepTheWindowConsistent) {
    std::vector<std::uint64_t> seeds{1, 2, 3, 4};
    long long events = 1000;
    if (const char* s = std::getenv("QUILLET_SOAK_SEED")) {
        seeds = {std::stoull(s)};
    }
    if (const char* n = std::getenv("QUILLET_SOAK_EVENTS")) {
        events = std::stoll(n);
    }
    const char* only = std::getenv("QUILLET_SOAK_ENABLED_ONLY");
    const bool enabledOnly = only != nullptr && std::string(only) == "1";

    std::vector<std::pair<int, void (*)(int)>> previous;
    for (int sig : {SIGABRT, SIGSEGV, SIGFPE, SIGILL, SIGBUS}) {
#if defined(__SANITIZE_ADDRESS__)
        if (sig != SIGABRT) {
            continue; // the sanitizer reports these, then calls the death callback
        }
#endif
        previous.emplace_back(sig, std::signal(sig, OnFatalSignal));
    }
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(DumpEventsOnCrash);
#endif

    for (std::uint64_t seed : seeds) {
        const auto start = std::chrono::steady_clock::now();
        Soak soak(seed, enabledOnly);
        soak.Run(events);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const Coverage& c = soak.Reached();
        std::printf("[ soak     ] seed %llu: %lld events in %.1f s (%.0f/s); %lld polygon steps, "
                    "%lld fills, %lld saves, %lld loads, %lld restarts, at most %d points%s\n",
                    static_cast<unsigned long long>(seed), events, seconds, events / seconds,
                    c.steps, c.fills, c.saves, c.loads, c.restarts, c.maxPoints,
                    soak.Failures().empty() ? "" : "; failed:");
        for (const auto& [check, failure] : soak.Failures()) {
            std::printf("[ soak     ]   %s: first at #%lld, %lld times\n", check.c_str(),
                        failure.first, failure.count);
        }
    }

#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(nullptr);
#endif
    for (const auto& [sig, handler] : previous) {
        std::signal(sig, handler);
    }
}

} // namespace
} // namespace quillet
