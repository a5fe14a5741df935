#pragma once
// The drawing document: the element lists, their counts, the construction and preview state,
// the undo bookkeeping and the rule by which the drawing commands are enabled.

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

// Counts and element numbers are 16-bit: a list never holds more than this many entries.
inline constexpr int MAX_ELEMENTS = 32767;

// A list numbered from 1. Element numbers are data (step records store them), so the
// numbering is kept rather than translated at every use.
//
// Entries change by ReDim, by cutting or growing with ReDimPreserve, and by writing entries
// that a ReDim or a growth has just made; an entry is never rewritten in place later. A cache of
// the list (at most one) relies on that to catch up with it cheaply: see TakeUnchanged.
template <class T> class List1 {
  public:
    List1() = default;
    // A copy is a new list to the cache of the one it replaces.
    List1(const List1& other) : items_(other.items_) {}
    List1(List1&& other) noexcept : items_(std::move(other.items_)) { other.unchanged_ = 0; }
    List1& operator=(const List1& other) {
        items_ = other.items_;
        unchanged_ = 0;
        return *this;
    }
    List1& operator=(List1&& other) noexcept {
        items_ = std::move(other.items_);
        unchanged_ = 0;
        other.unchanged_ = 0;
        return *this;
    }
    ~List1() = default;

    T& operator[](int i) {
        assert(i >= 1 && i <= UBound());
        return items_[static_cast<std::size_t>(i - 1)];
    }
    const T& operator[](int i) const {
        assert(i >= 1 && i <= UBound());
        return items_[static_cast<std::size_t>(i - 1)];
    }
    int UBound() const { return static_cast<int>(items_.size()); }
    // Grows or cuts to entries 1..n, keeping the entries that remain.
    void ReDimPreserve(int n) {
        items_.resize(static_cast<std::size_t>(n < 0 ? 0 : n));
        unchanged_ = std::min(unchanged_, items_.size());
    }
    // Entries 1..n, all cleared.
    void ReDim(int n) {
        items_.assign(static_cast<std::size_t>(n < 0 ? 0 : n), T{});
        unchanged_ = 0;
    }
    bool operator==(const List1& other) const { return items_ == other.items_; }

    // How many leading entries are as they were at the previous call (none at the first); from
    // now on all of them count as unchanged.
    std::size_t TakeUnchanged() const {
        const std::size_t n = unchanged_;
        unchanged_ = items_.size();
        return n;
    }

  private:
    std::vector<T> items_;
    mutable std::size_t unchanged_ = 0;
};

struct udtPoint {
    double X = 0;
    double Y = 0;
    bool operator==(const udtPoint&) const = default;
};

struct udtLine {
    double X1 = 0;
    double Y1 = 0;
    double X2 = 0;
    double Y2 = 0;
    bool operator==(const udtLine&) const = default;
};

struct udtFill {
    std::int32_t Color = 0; // 0x00BBGGRR
    double X = 0;
    double Y = 0;
    bool operator==(const udtFill&) const = default;
};

// Which points and lines a drawing holds, by exact value, so that the duplicate test of a new
// corner or side needs no scan; and where its points lie, for the nearest corner. It is a cache of
// the lists: it catches up with them when asked, starts empty when copied, and never makes two
// drawings unequal.
class DuplicateIndex {
  public:
    DuplicateIndex();
    DuplicateIndex(const DuplicateIndex&);
    DuplicateIndex& operator=(const DuplicateIndex&);
    ~DuplicateIndex();
    bool operator==(const DuplicateIndex&) const { return true; }

    // Whether points[1..count] holds (x, y): both coordinates ==.
    bool HasPoint(const List1<udtPoint>& points, int count, double x, double y);
    // Whether lines[1..count] holds the line from (x1, y1) to (x2, y2) either way round.
    bool HasLine(const List1<udtLine>& lines, int count, double x1, double y1, double x2,
                 double y2);
    // The first of points[1..count] (count at least 2) nearest to (x, y), as the scan that takes
    // a point only when it is strictly nearer than the best so far finds it.
    int NearestPoint(const List1<udtPoint>& points, int count, double x, double y);

  private:
    struct Tables;
    Tables& CaughtUpPoints(const List1<udtPoint>& points, int count);
    std::unique_ptr<Tables> tables_;
};

// How far the pointer at (x, y) is from a corner, the one measure the snapping compares.
inline double CornerDistance(double x, double y, const udtPoint& p) {
    return std::sqrt((x - p.X) * (x - p.X) + (y - p.Y) * (y - p.Y));
}

struct udtUndoStep {
    std::int16_t Count = 0;
    List1<std::int16_t> Items;
    bool operator==(const udtUndoStep&) const = default;
};

inline constexpr std::int32_t COLOR_LINE = 0;
inline constexpr std::int32_t COLOR_POINT = 65280;
inline constexpr std::int32_t COLOR_CHOSEN = 255;
inline constexpr std::int32_t COLOR_RUBBER = 16777215;

// Enabled state of the seven drawing commands.
struct CommandStates {
    bool cmdAll = false;
    bool cmdOnlyPoints = false;
    bool cmdOnlyLines = false;
    bool mnuUndo = true;
    bool mnuSaveAs = true;
    bool mnuOpen = true;
    bool chkFill = true;
    bool operator==(const CommandStates&) const = default;
};

// The events after which the commands change their enabled state.
enum class CommandEvent {
    NewProject,
    LoadSucceeded,
    ConstructionClick, // first or second click of a polygon
    PolygonCompleted,
    FillApplied,
    FillModeOn,
    FillModeOff,
    UndoLeftNoPoints,
    UndoLeftNoStep, // also an undo refused at the loaded lines
};

struct DrawingState {
    List1<udtPoint> arrPoints;
    List1<udtLine> arrLines;
    List1<udtFill> arrFills;
    std::int16_t intPointCount = 0;
    std::int16_t intLineCount = 0;
    std::int16_t intFillCount = 0;

    bool blnModified = false;
    std::int16_t intNumCorners = 3;
    std::int16_t intClickPhase = 0;
    double dblX1 = 0, dblY1 = 0;
    double dblX2 = 0, dblY2 = 0;
    double dblMouseX = 0, dblMouseY = 0;

    bool blnMouseDown = false;
    double dblLastX = 0, dblLastY = 0;
    double dblMarkX = 0, dblMarkY = 0;
    bool blnMarkShown = false;
    double dblRubberX = 0, dblRubberY = 0;
    bool blnRubberShown = false;

    List1<udtUndoStep> arrStepLines;
    List1<udtUndoStep> arrStepPoints;
    // Fills recorded when each step was opened: later fills were painted on a picture that the
    // step's undo takes away, so they go with it.
    List1<std::int16_t> arrStepFills;
    std::int16_t intUndoSteps = 0;
    std::int16_t intUndoFloor = 0;
    std::int16_t intFillUndoDepth = 0;
    std::int16_t intFillUndoCount = 0;

    std::string strFileName;

    CommandStates enabled;

    bool operator==(const DrawingState&) const = default;

    // Whether arrPoints[1..intPointCount] holds (x, y), as a scan comparing with == finds it.
    bool HoldsPoint(double x, double y) const {
        return duplicates_.HasPoint(arrPoints, intPointCount, x, y);
    }
    // Whether arrLines[1..intLineCount] holds the line either way round, compared with ==.
    bool HoldsLine(double x1, double y1, double x2, double y2) const {
        return duplicates_.HasLine(arrLines, intLineCount, x1, y1, x2, y2);
    }

    // The corner of arrPoints[1..intPointCount] (at least two) the pointer snaps to: the
    // nearest, the first of equally near ones, the first corner when its distance is NaN.
    int NearestPoint(double x, double y) const {
        return duplicates_.NearestPoint(arrPoints, intPointCount, x, y);
    }

    void SwapChosenPoints();
    // Opens step record intUndoSteps + 1, empty.
    void OpenStep();
    // Keeps step records 1..n only.
    void KeepSteps(int n);
    // Keeps fills 1..n only (n not above the count). Steps that were opened after more fills
    // now count n, so that a fill made later is still known as made after them.
    void KeepFills(int n);
    // Makes the fill undos made so far final: drops the fills the displayed picture lacks.
    void CommitFillUndo();
    // Applies the one rule table of the drawing commands' enabled state.
    void UpdateCommands(CommandEvent event);

  private:
    mutable DuplicateIndex duplicates_;
};

} // namespace quillet
