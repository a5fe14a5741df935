#include "project/project_format.h"

#include "project/numbers.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr std::string_view TITLE = "Tavenor Quillet File";
constexpr std::string_view RULE = "*--------------------*";
constexpr std::string_view TITLE_LINE = "|Tavenor Quillet File|";
static_assert(RULE.size() == TITLE.size() + 2 && TITLE_LINE.substr(1, TITLE.size()) == TITLE);
constexpr std::string_view POINTS_HEAD = "<Punten num=";
constexpr std::string_view POINTS_END = "</Punten>";
constexpr std::string_view LINES_HEAD = "<Lijnen num=";
constexpr std::string_view LINES_END = "</Lijnen>";
constexpr std::string_view FILLS_HEAD = "<FloodFill num=";
constexpr std::string_view FILLS_END = "</FloodFill>";
constexpr std::array<std::string_view, 4> TRAILER = {
    "Dit bestand is gegenereerd door Tavenor Quillet.",
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,",
    "zal het niet meer te openen zijn met Tavenor Quillet.",
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.",
};

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Splits at the only occurrence of the separator; none or several give nothing.
std::optional<std::pair<std::string_view, std::string_view>> SplitInTwo(std::string_view text,
                                                                        std::string_view sep) {
    const std::size_t at = text.find(sep);
    if (at == std::string_view::npos || text.find(sep, at + sep.size()) != std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{text.substr(0, at), text.substr(at + sep.size())};
}

enum class LineStatus { Line, End, TooLong, Unreadable, Cancelled };

// Lines end at CR LF or a lone CR. A source looks no further than one byte past the longest
// allowed line, so a file without line ends fails as soon as that much is read.
class LineSource {
  public:
    virtual ~LineSource() = default;
    // The line stays valid until the next call.
    virtual LineStatus Next(std::string_view& line) = 0;
    // Why the source could not be read, when it could not.
    std::string failure;
};

class MemoryLines final : public LineSource {
  public:
    explicit MemoryLines(std::string_view bytes) : rest_(bytes) {}

    LineStatus Next(std::string_view& line) override {
        if (rest_.empty()) {
            return LineStatus::End;
        }
        const std::size_t cr = rest_.substr(0, MAX_PROJECT_LINE_BYTES + 1).find('\r');
        if (cr == std::string_view::npos) {
            if (rest_.size() > MAX_PROJECT_LINE_BYTES) {
                return LineStatus::TooLong;
            }
            line = rest_;
            rest_ = {};
            return LineStatus::Line;
        }
        line = rest_.substr(0, cr);
        rest_.remove_prefix(cr + 1);
        if (!rest_.empty() && rest_.front() == '\n') {
            rest_.remove_prefix(1);
        }
        return LineStatus::Line;
    }

  private:
    std::string_view rest_;
};

class FileLines final : public LineSource {
  public:
    FileLines(int fd, long long size, const ReadProgress& progress)
        : fd_(fd), size_(size), progress_(progress) {}

    LineStatus Next(std::string_view& line) override {
        for (;;) {
            const std::size_t available = buffer_.size() - start_;
            const char* at = buffer_.data() + start_;
            const auto* cr = static_cast<const char*>(
                std::memchr(at, '\r', std::min(available, MAX_PROJECT_LINE_BYTES + 1)));
            // A CR at the very end may still be followed by its LF.
            if (cr != nullptr && (cr + 1 < at + available || end_)) {
                const auto length = static_cast<std::size_t>(cr - at);
                line = std::string_view(at, length);
                start_ += length + 1;
                if (start_ < buffer_.size() && buffer_[start_] == '\n') {
                    ++start_;
                }
                return LineStatus::Line;
            }
            if (cr == nullptr && available > MAX_PROJECT_LINE_BYTES) {
                return LineStatus::TooLong;
            }
            if (end_) {
                if (available == 0) {
                    return LineStatus::End;
                }
                line = std::string_view(at, available);
                start_ = buffer_.size();
                return LineStatus::Line;
            }
            if (const std::optional<LineStatus> stop = Fill()) {
                return *stop;
            }
        }
    }

  private:
    static constexpr std::size_t CHUNK = 1u << 16;

    // Reads the next chunk behind what is left of the current line.
    std::optional<LineStatus> Fill() {
        buffer_.erase(0, start_);
        start_ = 0;
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + CHUNK);
        ssize_t got = 0;
        do {
            got = ::read(fd_, buffer_.data() + kept, CHUNK);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            failure = std::strerror(errno);
            buffer_.resize(kept);
            return LineStatus::Unreadable;
        }
        buffer_.resize(kept + static_cast<std::size_t>(got));
        end_ = got == 0;
        read_ += got;
        if (progress_ && !progress_(read_, size_)) {
            return LineStatus::Cancelled;
        }
        return std::nullopt;
    }

    int fd_;
    long long size_;
    const ReadProgress& progress_;
    std::string buffer_;
    std::size_t start_ = 0;
    long long read_ = 0;
    bool end_ = false;
};

// A line as the user can read it in a message: short, and with control and other non-ASCII
// bytes spelled out.
std::string Printable(std::string_view line) {
    constexpr std::size_t SHOWN = 60;
    std::string text = "\"";
    for (char c : line.substr(0, SHOWN)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            constexpr const char* HEX = "0123456789ABCDEF";
            text += "\\x";
            text += HEX[byte >> 4];
            text += HEX[byte & 0xF];
        } else {
            text += c;
        }
    }
    text += line.size() > SHOWN ? "\"..." : "\"";
    return text;
}

// What a line must be, spelled out only when it is not: "point 3 of 5: X;Y".
struct Expectation {
    std::string_view form;
    std::string_view item = {};
    int index = 0;
    int count = 0;

    std::string Describe() const {
        if (item.empty()) {
            return std::string(form);
        }
        std::string text = std::string(item) + " " + std::to_string(index);
        if (count > 0) {
            text += " of " + std::to_string(count);
        }
        return text + ": " + std::string(form);
    }
};

constexpr Expectation EMPTY_LINE{"an empty line"};

class Parser {
  public:
    Parser(LineSource& source, char decimalSeparator)
        : source_(source), decimal_(decimalSeparator) {}

    std::variant<ProjectData, ProjectError> Run() {
        if (!Exact(RULE, {"the rule line"}) || !Exact(TITLE_LINE, {"the title line"}) ||
            !Exact(RULE, {"the rule line"}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        int count = 0;
        if (!Head(POINTS_HEAD, {"<Punten num=N> with N from 1 to 32767"}, true, count)) {
            return error_;
        }
        data_.points.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"X;Y", "point", i, count}, [this](std::string_view line) {
                    udtPoint p;
                    if (!Coordinates(line, p.X, p.Y)) {
                        return false;
                    }
                    data_.points.push_back(p);
                    return true;
                })) {
                return error_;
            }
        }
        if (!Exact(POINTS_END, {POINTS_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        if (!Head(LINES_HEAD, {"<Lijnen num=N> with N from 1 to 32767"}, true, count)) {
            return error_;
        }
        data_.lines.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"(X1;Y1)---(X2;Y2)", "line", i, count},
                        [this](std::string_view line) { return Segment(line); })) {
                return error_;
            }
        }
        if (!Exact(LINES_END, {LINES_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        // A negative fills count reads no fill lines, like 0, and is kept as 0.
        if (!Head(FILLS_HEAD, {"<FloodFill num=N> with N at most 32767"}, false, count)) {
            return error_;
        }
        data_.fills.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"Color @ (X;Y) with a colour that fits 32 bits", "fill", i, count},
                        [this](std::string_view line) { return Fill(line); })) {
                return error_;
            }
        }
        if (!Exact(FILLS_END, {FILLS_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        for (std::size_t i = 0; i < TRAILER.size(); ++i) {
            if (!Exact(TRAILER[i], {TRAILER[i], "trailer line", static_cast<int>(i) + 1})) {
                return error_;
            }
        }
        return std::move(data_);
    }

  private:
    bool Fail(const Expectation& expected, std::string found, std::string_view note = {}) {
        error_ = {number_, expected.Describe() + std::string(note), std::move(found)};
        return false;
    }

    // Reads the next line and hands it to the check; a missing, overlong or failed line fails.
    template <class Check> bool Expect(const Expectation& expected, Check check) {
        ++number_;
        std::string_view line;
        switch (source_.Next(line)) {
        case LineStatus::Line:
            return check(line) || Fail(expected, Printable(line));
        case LineStatus::End:
            return Fail(expected, "the end of the file");
        case LineStatus::TooLong:
            return Fail(expected, "a longer line",
                        " (a line of at most " + std::to_string(MAX_PROJECT_LINE_BYTES) +
                            " bytes)");
        case LineStatus::Unreadable:
            return Fail(expected, "a read error: " + source_.failure);
        case LineStatus::Cancelled:
            Fail(expected, {});
            error_.cancelled = true;
            return false;
        }
        return false;
    }

    bool Exact(std::string_view text, const Expectation& expected) {
        return Expect(expected, [text](std::string_view line) { return line == text; });
    }

    // The numeric test and the conversion in one look at the text; an overflow reads as 0.
    bool Number(std::string_view text, double& value) const {
        const NumberReading reading = ReadNumber(text, decimal_);
        value = reading.value.value_or(0.0);
        return reading.numeric;
    }

    // The count is rounded. Above MAX_ELEMENTS (a count too large for a double included) fails,
    // and so does one below 1 where the section must not be empty; others below 1 read as 0.
    bool Head(std::string_view tag, const Expectation& expected, bool required, int& count) {
        return Expect(expected, [&](std::string_view line) {
            if (line.size() <= tag.size() || !line.starts_with(tag) || !line.ends_with('>')) {
                return false;
            }
            const std::string_view number = line.substr(tag.size(), line.size() - tag.size() - 1);
            const NumberReading reading = ReadNumber(number, decimal_);
            if (!reading.numeric || !reading.value) {
                return false;
            }
            const double rounded = RoundHalfEven(*reading.value);
            if (rounded > MAX_ELEMENTS || (required && rounded < 1)) {
                return false;
            }
            count = rounded < 0 ? 0 : static_cast<int>(rounded);
            return true;
        });
    }

    // "X;Y", the parts not trimmed.
    bool Coordinates(std::string_view text, double& x, double& y) const {
        const auto parts = SplitInTwo(text, ";");
        return parts && Number(parts->first, x) && Number(parts->second, y);
    }

    bool Bracketed(std::string_view part, double& x, double& y) const {
        return part.size() >= 2 && part.front() == '(' && part.back() == ')' &&
               Coordinates(part.substr(1, part.size() - 2), x, y);
    }

    bool Segment(std::string_view line) {
        udtLine l;
        const auto ends = SplitInTwo(line, "---");
        if (!ends || !Bracketed(ends->first, l.X1, l.Y1) || !Bracketed(ends->second, l.X2, l.Y2)) {
            return false;
        }
        data_.lines.push_back(l);
        return true;
    }

    // Looser than the other lines: the texts are trimmed and the bracket characters dropped
    // whatever they are, and the colour is not tested (a word gives colour 0).
    bool Fill(std::string_view line) {
        const std::size_t at = line.find(" @ ");
        if (at == std::string_view::npos) {
            return false;
        }
        const std::string_view colour = TrimSpaces(line.substr(0, at));
        const std::string_view rest = TrimSpaces(line.substr(at + 3));
        if (colour.empty() || rest.empty()) {
            return false;
        }
        const auto parts = SplitInTwo(rest, ";");
        if (!parts) {
            return false;
        }
        const std::string_view first = TrimSpaces(parts->first);
        const std::string_view second = TrimSpaces(parts->second);
        if (first.size() < 2 || second.size() < 2) {
            return false;
        }
        udtFill fill;
        if (!Number(first.substr(1), fill.X) ||
            !Number(second.substr(0, second.size() - 1), fill.Y)) {
            return false;
        }
        // A colour too large for a double does not fit 32 bits either.
        const double rounded = RoundHalfEven(
            ReadNumber(colour, decimal_).value.value_or(std::numeric_limits<double>::max()));
        if (rounded < std::numeric_limits<std::int32_t>::min() ||
            rounded > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        fill.Color = static_cast<std::int32_t>(rounded);
        data_.fills.push_back(fill);
        return true;
    }

    LineSource& source_;
    int number_ = 0;
    char decimal_;
    ProjectData data_;
    ProjectError error_{};
};

void AppendLine(std::string& out, std::string_view text) {
    out += text;
    out += "\r\n";
}

} // namespace

std::string ProjectError::Describe() const {
    if (cancelled) {
        return "The reading was cancelled.";
    }
    if (line == 0) {
        return "The file cannot be read: " + found + ".";
    }
    return "Line " + std::to_string(line) + ": expected " + expected + ", found " + found + ".";
}

std::variant<ProjectData, ProjectError> ParseProject(std::string_view bytes,
                                                     char decimalSeparator) {
    MemoryLines source(bytes);
    return Parser(source, decimalSeparator).Run();
}

std::variant<ProjectData, ProjectError>
ParseProjectFile(const std::string& path, char decimalSeparator, const ReadProgress& progress) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return ProjectError{0, "a readable file", std::strerror(errno)};
    }
    struct stat info {};
    const long long size = ::fstat(fd, &info) == 0 ? static_cast<long long>(info.st_size) : 0;
    FileLines source(fd, size, progress);
    std::variant<ProjectData, ProjectError> result = Parser(source, decimalSeparator).Run();
    ::close(fd);
    return result;
}

std::string WriteProject(const ProjectData& data, char decimalSeparator) {
    std::string out;
    // Appended piece by piece: no text is built for a line or a number on its own.
    const auto number = [&out, decimalSeparator](double v) {
        AppendGeneralNumber(out, v, decimalSeparator);
    };
    const auto head = [&out](std::string_view tag, std::size_t n) {
        out += tag;
        out += FormatInteger(static_cast<long long>(n));
        out += ">\r\n";
    };

    out.reserve(512 + 40 * data.points.size() + 80 * data.lines.size() + 50 * data.fills.size());
    AppendLine(out, RULE);
    AppendLine(out, TITLE_LINE);
    AppendLine(out, RULE);
    AppendLine(out, "");

    head(POINTS_HEAD, data.points.size());
    for (const udtPoint& p : data.points) {
        number(p.X);
        out += ';';
        number(p.Y);
        out += "\r\n";
    }
    AppendLine(out, POINTS_END);
    AppendLine(out, "");

    head(LINES_HEAD, data.lines.size());
    for (const udtLine& l : data.lines) {
        out += '(';
        number(l.X1);
        out += ';';
        number(l.Y1);
        out += ")---(";
        number(l.X2);
        out += ';';
        number(l.Y2);
        out += ")\r\n";
    }
    AppendLine(out, LINES_END);
    AppendLine(out, "");

    head(FILLS_HEAD, data.fills.size());
    for (const udtFill& f : data.fills) {
        out += FormatInteger(f.Color);
        out += " @ (";
        number(f.X);
        out += ';';
        number(f.Y);
        out += ")\r\n";
    }
    AppendLine(out, FILLS_END);
    AppendLine(out, "");

    for (std::string_view line : TRAILER) {
        AppendLine(out, line);
    }
    return out;
}

} // namespace quillet
