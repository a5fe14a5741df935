#include "drawing/drawing_state.h"

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace quillet {

namespace {

// A double's bits as == sees them: the two zeros alike. NaN equals nothing and is kept apart.
std::uint64_t EqualityBits(double v) {
    return v == 0 ? 0 : std::bit_cast<std::uint64_t>(v);
}

bool Comparable(double x, double y) {
    return x == x && y == y;
}

using PointKey = std::array<std::uint64_t, 2>;
using LineKey = std::array<std::uint64_t, 4>;

PointKey KeyOf(double x, double y) {
    return {EqualityBits(x), EqualityBits(y)};
}

// A line and its reverse give the same key: the smaller end first.
LineKey KeyOf(double x1, double y1, double x2, double y2) {
    const PointKey a = KeyOf(x1, y1);
    const PointKey b = KeyOf(x2, y2);
    return b < a ? LineKey{b[0], b[1], a[0], a[1]} : LineKey{a[0], a[1], b[0], b[1]};
}

PointKey KeyOf(const udtPoint& p) {
    return KeyOf(p.X, p.Y);
}

LineKey KeyOf(const udtLine& l) {
    return KeyOf(l.X1, l.Y1, l.X2, l.Y2);
}

bool Comparable(const udtPoint& p) {
    return Comparable(p.X, p.Y);
}

bool Comparable(const udtLine& l) {
    return Comparable(l.X1, l.Y1) && Comparable(l.X2, l.Y2);
}

// Each word spread by its own multiplier, so that the words are worked on side by side, then
// the sum mixed down.
template <std::size_t N> std::uint64_t Hash(const std::array<std::uint64_t, N>& key) {
    constexpr std::array<std::uint64_t, 4> MULTIPLIERS = {0x9E3779B97F4A7C15u, 0xC2B2AE3D27D4EB4Fu,
                                                          0x165667B19E3779F9u, 0xD6E8FEB86659FD93u};
    std::uint64_t h = 0;
    for (std::size_t i = 0; i < N; ++i) {
        h += std::rotl(key[i] * MULTIPLIERS[i], static_cast<int>(13 * i));
    }
    h ^= h >> 32;
    h *= 0xBF58476D1CE4E5B9u;
    return h ^ (h >> 29);
}

// The distinct values among entries 1..Size() of a list, each with the first entry that holds
// it and how many do; the keys are read from the list itself. Entries come and go at the end
// only, so taking the newest one off leaves the table exactly as it was before that entry came:
// no other entry ever moves, and an entry's slot is remembered for taking it off after the list
// has let it go.
template <class T> class EntryIndex {
  public:
    using Key = decltype(KeyOf(T{}));

    std::size_t Size() const { return slotOf_.size(); }

    void Clear() {
        slotOf_.clear();
        counts_.clear();
        std::fill(slots_.begin(), slots_.end(), 0);
    }

    bool Contains(const List1<T>& list, const Key& key) const {
        if (slots_.empty()) {
            return false;
        }
        return Find(list, key, Hash(key)) != NOT_FOUND;
    }

    // Takes the newest entry off.
    void Pop() {
        if (const std::uint32_t at = slotOf_.back(); at != NO_SLOT) {
            if (--counts_[(slots_[at] & ENTRY) - 1] == 0) {
                slots_[at] = 0;
            }
        }
        slotOf_.pop_back();
        counts_.pop_back();
    }

    // Takes in entries Size() + 1 up to n of the list, a batch at a time: the batch's keys are
    // worked out and their slots fetched before the first of them goes in.
    void Extend(const List1<T>& list, std::size_t n) {
        if (LOAD * n > slots_.size()) {
            Rehash(list, std::max<std::size_t>(64, std::bit_ceil(LOAD * n)));
        }
        slotOf_.reserve(n);
        counts_.reserve(n);
        constexpr std::size_t BATCH = 16;
        std::array<Key, BATCH> keys{};
        std::array<std::uint64_t, BATCH> hashes{};
        std::array<bool, BATCH> comparable{};
        while (Size() < n) {
            const std::size_t first = Size();
            const std::size_t count = std::min(BATCH, n - first);
            for (std::size_t k = 0; k < count; ++k) {
                const T& value = list[static_cast<int>(first + k) + 1];
                keys[k] = KeyOf(value);
                comparable[k] = Comparable(value);
                hashes[k] = Hash(keys[k]);
                __builtin_prefetch(&slots_[hashes[k] & Mask()]);
            }
            for (std::size_t k = 0; k < count; ++k) {
                Add(list, keys[k], hashes[k], comparable[k]);
            }
        }
    }

  private:
    // A slot holds the high half of the key's hash above the first entry with the key
    // (1-based); 0 is an empty slot.
    static constexpr std::uint64_t ENTRY = 0xFFFFFFFFu;
    static constexpr std::uint32_t NO_SLOT = 0xFFFFFFFFu; // of an entry that equals nothing
    static constexpr std::size_t NOT_FOUND = ~std::size_t{0};
    // Slots per entry at least: few keys meet another's slot.
    static constexpr std::size_t LOAD = 4;

    std::size_t Mask() const { return slots_.size() - 1; }

    // The key's slot, or NOT_FOUND with `free` set to the empty slot where it would go.
    std::size_t Find(const List1<T>& list, const Key& key, std::uint64_t h,
                     std::size_t* free = nullptr) const {
        const std::uint64_t tag = h & ~ENTRY;
        for (std::size_t at = h & Mask();; at = (at + 1) & Mask()) {
            const std::uint64_t s = slots_[at];
            if (s == 0) {
                if (free != nullptr) {
                    *free = at;
                }
                return NOT_FOUND;
            }
            if ((s & ~ENTRY) == tag && KeyOf(list[static_cast<int>(s & ENTRY)]) == key) {
                return at;
            }
        }
    }

    // Takes in entry Size() + 1, of the key given, which hashes to h.
    void Add(const List1<T>& list, const Key& key, std::uint64_t h, bool comparable) {
        counts_.push_back(0);
        if (!comparable) {
            slotOf_.push_back(NO_SLOT);
            return;
        }
        std::size_t free = 0;
        std::size_t at = Find(list, key, h, &free);
        if (at == NOT_FOUND) {
            at = free;
            slots_[at] = (h & ~ENTRY) | (Size() + 1);
        }
        ++counts_[(slots_[at] & ENTRY) - 1];
        slotOf_.push_back(static_cast<std::uint32_t>(at));
    }

    // The entries taken in again, in list order, as if they had come that way.
    void Rehash(const List1<T>& list, std::size_t slots) {
        const std::size_t n = Size();
        slots_.assign(slots, 0);
        slotOf_.clear();
        counts_.clear();
        for (std::size_t i = 1; i <= n; ++i) {
            const T& value = list[static_cast<int>(i)];
            const Key key = KeyOf(value);
            Add(list, key, Hash(key), Comparable(value));
        }
    }

    std::vector<std::uint64_t> slots_;
    std::vector<std::uint32_t> slotOf_; // per entry: the slot of its key
    std::vector<std::uint32_t> counts_; // per entry: at the first with a key, how many have it
};

// The points in square cells of the plane, so that the nearest to the pointer is looked for
// among the few around it. Points whose cell could be misjudged (not finite, beyond 2^24, or so
// small that an eighth of them loses bits) are kept apart and always looked at.
class CornerGrid {
  public:
    std::size_t Size() const { return cellOf_.size(); }

    void Clear() {
        cells_.clear();
        cellOf_.clear();
        apart_.clear();
        low_ = {INT32_MAX, INT32_MAX};
        high_ = {INT32_MIN, INT32_MIN};
    }

    // Takes the newest entry off: the last one in its cell, since entries come and go at the
    // end only.
    void Pop() {
        const std::uint64_t key = cellOf_.back();
        if (key == APART) {
            apart_.pop_back();
        } else {
            cells_[key].pop_back();
        }
        cellOf_.pop_back();
    }

    void Extend(const List1<udtPoint>& list, std::size_t n) {
        cellOf_.reserve(n);
        while (Size() < n) {
            const auto entry = static_cast<std::uint32_t>(Size() + 1);
            const udtPoint& p = list[static_cast<int>(entry)];
            if (!Placeable(p.X) || !Placeable(p.Y)) {
                apart_.push_back(entry);
                cellOf_.push_back(APART);
                continue;
            }
            const std::array<std::int32_t, 2> cell = {CellOf(p.X), CellOf(p.Y)};
            for (int k = 0; k < 2; ++k) {
                low_[k] = std::min(low_[k], cell[k]);
                high_[k] = std::max(high_[k], cell[k]);
            }
            const std::uint64_t key = Key(cell[0], cell[1]);
            cells_[key].push_back(entry);
            cellOf_.push_back(key);
        }
    }

    // Entries 1..Size() must be caught up with the list; Size() at least 2.
    int Nearest(const List1<udtPoint>& list, double x, double y) const {
        const double first = CornerDistance(x, y, list[1]);
        if (std::isnan(first)) {
            return 1; // nothing compares below NaN
        }
        int nearest = 1;
        double best = first;
        // In any order: the first of equals wins, as it does in a scan from the first.
        auto consider = [&](std::uint32_t entry) {
            const double d = CornerDistance(x, y, list[static_cast<int>(entry)]);
            if (d < best || (d == best && static_cast<int>(entry) < nearest)) {
                best = d;
                nearest = static_cast<int>(entry);
            }
        };
        for (const std::uint32_t entry : apart_) {
            consider(entry);
        }
        const auto everyOne = [&] {
            for (std::size_t entry = 2; entry <= Size(); ++entry) {
                consider(static_cast<std::uint32_t>(entry));
            }
            return nearest;
        };
        if (!Placeable(x) || !Placeable(y)) {
            return everyOne();
        }
        const std::int32_t qx = CellOf(x);
        const std::int32_t qy = CellOf(y);
        // A point r or more rings of cells out lies more than (r - 1) cells away; the margin
        // covers the rounding of the distances. Past the cells in use there is nothing, and where
        // the rings would visit more cells than there are points, a scan is cheaper.
        const std::size_t budget = std::max<std::size_t>(64, Size() / 4);
        std::size_t visited = 0;
        for (std::int64_t r = 0;; ++r) {
            if (r > 0 && static_cast<double>(r - 1) * CELL * (1 - 1e-9) > best) {
                return nearest;
            }
            if (qx - r < low_[0] && qx + r > high_[0] && qy - r < low_[1] && qy + r > high_[1]) {
                return nearest;
            }
            visited += r == 0 ? 1 : static_cast<std::size_t>(8 * r);
            if (visited > budget) {
                return everyOne();
            }
            for (std::int64_t cx = qx - r; cx <= qx + r; ++cx) {
                const bool edge = cx == qx - r || cx == qx + r;
                for (std::int64_t cy = qy - r; cy <= qy + r; cy += edge ? 1 : 2 * r) {
                    const auto found = cells_.find(Key(cx, cy));
                    if (found != cells_.end()) {
                        for (const std::uint32_t entry : found->second) {
                            consider(entry);
                        }
                    }
                    if (r == 0) {
                        break;
                    }
                }
            }
        }
    }

  private:
    static constexpr double CELL = 16; // a power of two: the cell of a placeable value is exact
    // A key no cell has: placeable values lie within 2^20 cells of 0.
    static constexpr std::uint64_t APART = 0x8000000080000000u;

    static bool Placeable(double v) {
        const double a = std::fabs(v);
        return a == 0 || (a >= 1e-300 && a <= 16777216.0);
    }
    static std::int32_t CellOf(double v) { return static_cast<std::int32_t>(std::floor(v / CELL)); }
    static std::uint64_t Key(std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) |
               static_cast<std::uint32_t>(cy);
    }

    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells_;
    std::vector<std::uint64_t> cellOf_; // per entry: its cell's key, or APART
    std::vector<std::uint32_t> apart_;
    // The cells that hold or held points since the last Clear.
    std::array<std::int32_t, 2> low_ = {INT32_MAX, INT32_MAX};
    std::array<std::int32_t, 2> high_ = {INT32_MIN, INT32_MIN};
};

// Brings the index up to entries 1..count of the list: what is cut or replaced goes, what is
// new comes. `unchanged` is what the list's TakeUnchanged said.
template <class Index, class T>
void CatchUp(Index& index, const List1<T>& list, int count, std::size_t unchanged) {
    const auto wanted = static_cast<std::size_t>(std::clamp(count, 0, list.UBound()));
    const std::size_t kept = std::min({index.Size(), unchanged, wanted});
    if (kept == 0 && index.Size() > 0) {
        index.Clear();
    }
    while (index.Size() > kept) {
        index.Pop();
    }
    index.Extend(list, wanted);
}

} // namespace

struct DuplicateIndex::Tables {
    EntryIndex<udtPoint> points;
    CornerGrid corners;
    EntryIndex<udtLine> lines;
};

DuplicateIndex::DuplicateIndex() = default;
DuplicateIndex::DuplicateIndex(const DuplicateIndex&) {}
DuplicateIndex& DuplicateIndex::operator=(const DuplicateIndex&) {
    tables_.reset();
    return *this;
}
DuplicateIndex::~DuplicateIndex() = default;

DuplicateIndex::Tables& DuplicateIndex::CaughtUpPoints(const List1<udtPoint>& points, int count) {
    if (!tables_) {
        tables_ = std::make_unique<Tables>();
    }
    // Both follow the one list, which tells what is unchanged only once.
    const std::size_t unchanged = points.TakeUnchanged();
    CatchUp(tables_->points, points, count, unchanged);
    CatchUp(tables_->corners, points, count, unchanged);
    return *tables_;
}

bool DuplicateIndex::HasPoint(const List1<udtPoint>& points, int count, double x, double y) {
    Tables& tables = CaughtUpPoints(points, count);
    return Comparable(x, y) && tables.points.Contains(points, KeyOf(x, y));
}

int DuplicateIndex::NearestPoint(const List1<udtPoint>& points, int count, double x, double y) {
    return CaughtUpPoints(points, count).corners.Nearest(points, x, y);
}

bool DuplicateIndex::HasLine(const List1<udtLine>& lines, int count, double x1, double y1,
                             double x2, double y2) {
    if (!tables_) {
        tables_ = std::make_unique<Tables>();
    }
    CatchUp(tables_->lines, lines, count, lines.TakeUnchanged());
    return Comparable(x1, y1) && Comparable(x2, y2) &&
           tables_->lines.Contains(lines, KeyOf(x1, y1, x2, y2));
}

void DrawingState::SwapChosenPoints() {
    std::swap(dblX1, dblX2);
    std::swap(dblY1, dblY2);
}

void DrawingState::OpenStep() {
    intUndoSteps = static_cast<std::int16_t>(intUndoSteps + 1);
    arrStepLines.ReDimPreserve(intUndoSteps);
    arrStepPoints.ReDimPreserve(intUndoSteps);
    arrStepFills.ReDimPreserve(intUndoSteps);
    arrStepLines[intUndoSteps] = {};
    arrStepPoints[intUndoSteps] = {};
    arrStepFills[intUndoSteps] = intFillCount;
}

void DrawingState::KeepSteps(int n) {
    intUndoSteps = static_cast<std::int16_t>(n);
    arrStepLines.ReDimPreserve(n);
    arrStepPoints.ReDimPreserve(n);
    arrStepFills.ReDimPreserve(n);
}

void DrawingState::KeepFills(int n) {
    intFillCount = static_cast<std::int16_t>(n < 0 ? 0 : n);
    arrFills.ReDimPreserve(intFillCount);
    for (int k = arrStepFills.UBound(); k >= 1 && arrStepFills[k] > intFillCount; --k) {
        arrStepFills[k] = intFillCount;
    }
}

void DrawingState::CommitFillUndo() {
    if (intFillUndoCount == 0) {
        return;
    }
    int r = intFillUndoCount % (intFillUndoDepth + 1);
    if (r > 0) {
        KeepFills(intFillCount - r);
    }
    intFillUndoDepth = 0;
    intFillUndoCount = 0;
}

void DrawingState::UpdateCommands(CommandEvent event) {
    CommandStates& e = enabled;
    auto redraw = [&e](bool on) { e.cmdAll = e.cmdOnlyPoints = e.cmdOnlyLines = on; };
    switch (event) {
    case CommandEvent::NewProject:
        redraw(false);
        e.mnuUndo = false;
        e.mnuSaveAs = false;
        e.mnuOpen = true;
        e.chkFill = false;
        break;
    case CommandEvent::LoadSucceeded:
        redraw(true);
        if (intFillCount > 0) {
            e.mnuUndo = true;
        }
        e.mnuSaveAs = true;
        e.chkFill = true;
        break;
    case CommandEvent::ConstructionClick:
    case CommandEvent::PolygonCompleted: {
        bool on = event == CommandEvent::PolygonCompleted;
        redraw(on);
        e.mnuUndo = e.mnuSaveAs = e.mnuOpen = e.chkFill = on;
        break;
    }
    case CommandEvent::FillApplied:
        e.mnuUndo = true;
        break;
    case CommandEvent::FillModeOn:
        redraw(false);
        // Fill undo works from the snapshots, which a load seeds without any fill being made.
        if (intFillUndoDepth > 0) {
            e.mnuUndo = true;
        } else if (intFillCount < 1) {
            e.mnuUndo = false;
        }
        break;
    case CommandEvent::FillModeOff:
        if (intPointCount > 0) {
            redraw(true);
            if (intUndoSteps > 0) {
                e.mnuUndo = true;
            }
        } else {
            redraw(false);
            if (intFillCount < 1) {
                e.mnuUndo = false;
            }
        }
        break;
    case CommandEvent::UndoLeftNoPoints:
        redraw(false);
        e.mnuUndo = e.mnuSaveAs = e.chkFill = false;
        break;
    case CommandEvent::UndoLeftNoStep:
        e.mnuUndo = false;
        break;
    }
}

} // namespace quillet
