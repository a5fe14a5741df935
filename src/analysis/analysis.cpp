#include "analysis/analysis.h"

#include "analysis/arrangement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numeric>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace quillet::analysis {

// Faces by a uniform grid of cells over their bounding boxes.
struct FaceIndex {
    std::vector<std::vector<std::vector<udtPoint>>> rings; // per face: outer ring, then holes
    std::vector<Box> boxes;
    Box all;
    int columns = 0, rows = 0;
    double cellWidth = 1, cellHeight = 1;
    std::vector<std::vector<int>> cells;
};

namespace {

constexpr double PI = 3.14159265358979323846;

using detail::Piece;

bool Finite(udtPoint p) {
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

// Within what the exact arithmetic takes safely (MAX_COORDINATE); false for NaN too.
bool Usable(udtPoint p) {
    return std::fabs(p.X) <= MAX_COORDINATE && std::fabs(p.Y) <= MAX_COORDINATE;
}

// Thrown from the loops when the work would go over the budget; names the budget.
struct OverBudget {
    std::string why;
};

// The time left, looked at every few thousand steps so that the check costs nothing.
class Deadline {
  public:
    explicit Deadline(double seconds)
        : seconds_(seconds), end_(std::chrono::steady_clock::now() +
                                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                      std::chrono::duration<double>(std::max(seconds, 0.0)))) {}
    void Step() {
        if ((++steps_ & 0xFFF) == 0 && std::chrono::steady_clock::now() > end_) {
            throw OverBudget{"took longer than the time budget of " + FormatSeconds() + " s"};
        }
    }

  private:
    std::string FormatSeconds() const {
        std::string text = std::to_string(seconds_);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        return text;
    }
    double seconds_;
    std::chrono::steady_clock::time_point end_;
    unsigned long steps_ = 0;
};

// The first LISTED items by `less` of however many are offered, in bounded memory.
template <class T, class Less> class FirstListed {
  public:
    explicit FirstListed(Less less) : less_(less) {}
    void Add(T item) {
        items_.push_back(std::move(item));
        if (items_.size() >= 2 * LISTED) {
            Trim();
        }
    }
    std::vector<T> Take() {
        Trim();
        std::sort(items_.begin(), items_.end(), less_);
        return std::move(items_);
    }

  private:
    void Trim() {
        if (items_.size() > LISTED) {
            std::nth_element(items_.begin(), items_.begin() + LISTED, items_.end(), less_);
            items_.resize(LISTED);
        }
    }
    Less less_;
    std::vector<T> items_;
};

template <class T> bool ByPair(const T& x, const T& y) {
    return std::pair(x.a, x.b) < std::pair(y.a, y.b);
}

double Distance(udtPoint a, udtPoint b) {
    return std::hypot(a.X - b.X, a.Y - b.Y);
}

double Cross(udtPoint o, udtPoint a, udtPoint b) {
    return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
}

// The turn from a->b to b->c, in radians: positive to the left (counter-clockwise as x, y go).
double Turn(udtPoint a, udtPoint b, udtPoint c) {
    const double ux = b.X - a.X, uy = b.Y - a.Y;
    const double vx = c.X - b.X, vy = c.Y - b.Y;
    return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
}

double InteriorAngle(int n) {
    return 180.0 * (n - 2) / n;
}

struct PositionHash {
    std::size_t operator()(udtPoint p) const {
        const std::size_t h = std::hash<double>()(p.X);
        return h ^ (std::hash<double>()(p.Y) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
    }
};

// Items by square cells of a fixed size, for finding what lies near a position.
class CellMap {
  public:
    explicit CellMap(double size) : size_(size) {}

    udtPoint KeyOf(udtPoint p) const {
        // + 0.0 makes -0 and 0 one key.
        return {std::floor(p.X / size_) + 0.0, std::floor(p.Y / size_) + 0.0};
    }
    void Add(udtPoint p, int item) { cells_[KeyOf(p)].push_back(item); }

    // Every item in the cell of p and the eight around it; nothing is met twice.
    template <class F> void ForNear(udtPoint p, F&& f) const {
        const udtPoint k = KeyOf(p);
        for (const double x : Steps(k.X)) {
            for (const double y : Steps(k.Y)) {
                ForCell({x, y}, f);
            }
        }
    }

    // Every item in the cells that meet the box.
    template <class F> void ForBox(const Box& b, F&& f) const {
        const udtPoint lo = KeyOf({b.minX, b.minY});
        const udtPoint hi = KeyOf({b.maxX, b.maxY});
        constexpr double LIMIT = 1LL << 50; // cell numbers step by 1 well below this
        const double span = (hi.X - lo.X + 1) * (hi.Y - lo.Y + 1);
        const bool small = std::fabs(lo.X) < LIMIT && std::fabs(lo.Y) < LIMIT &&
                           std::fabs(hi.X) < LIMIT && std::fabs(hi.Y) < LIMIT &&
                           span <= static_cast<double>(cells_.size()) + 16;
        if (small) {
            for (double x = lo.X; x <= hi.X; ++x) {
                for (double y = lo.Y; y <= hi.Y; ++y) {
                    ForCell({x, y}, f);
                }
            }
            return;
        }
        // A box over more cells than are filled: look at the filled ones.
        for (const auto& [key, items] : cells_) {
            if (key.X >= lo.X && key.X <= hi.X && key.Y >= lo.Y && key.Y <= hi.Y) {
                for (const int item : items) {
                    f(item);
                }
            }
        }
    }

  private:
    // The cell numbers next to k; at magnitudes where k +- 1 rounds to k, just k.
    static std::vector<double> Steps(double k) {
        std::vector<double> steps{k};
        if (k - 1 != k) {
            steps.push_back(k - 1);
        }
        if (k + 1 != k) {
            steps.push_back(k + 1);
        }
        return steps;
    }
    template <class F> void ForCell(udtPoint key, F& f) const {
        const auto it = cells_.find(key);
        if (it != cells_.end()) {
            for (const int item : it->second) {
                f(item);
            }
        }
    }

    double size_;
    std::unordered_map<udtPoint, std::vector<int>, PositionHash> cells_;
};

class UnionFind {
  public:
    explicit UnionFind(std::size_t n) : parent_(n) {
        std::iota(parent_.begin(), parent_.end(), std::size_t{0});
    }
    std::size_t Find(std::size_t i) {
        while (parent_[i] != i) {
            parent_[i] = parent_[parent_[i]];
            i = parent_[i];
        }
        return i;
    }
    // The smaller index stays the root, so a cluster is named by its first member.
    void Join(std::size_t a, std::size_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b) {
            parent_[std::max(a, b)] = std::min(a, b);
        }
    }

  private:
    std::vector<std::size_t> parent_;
};

// The sides of a polygon agree in length, and its turns with that of a regular n-gon, within
// REGULAR_TOLERANCE widened by what the drift tolerance may move its corners.
struct RegularTest {
    double side = 0; // the expected side length
    int n = 0;
    double tolerance = 0;
    bool SideFits(double length) const {
        return std::fabs(length - side) <= REGULAR_TOLERANCE * side + 2 * tolerance;
    }
    bool TurnFits(double turn) const {
        return std::fabs(turn - 2 * PI / n) <= REGULAR_TOLERANCE + 4 * tolerance / side;
    }
};

bool IsRegular(const std::vector<udtPoint>& c, double tolerance) {
    const std::size_t n = c.size();
    if (n < 3) {
        return false;
    }
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += Distance(c[i], c[(i + 1) % n]);
    }
    const RegularTest test{sum / static_cast<double>(n), static_cast<int>(n), tolerance};
    if (!(test.side > 0)) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const udtPoint& a = c[(i + n - 1) % n];
        const udtPoint& b = c[i];
        const udtPoint& d = c[(i + 1) % n];
        if (!test.SideFits(Distance(b, d)) || !test.TurnFits(Turn(a, b, d))) {
            return false;
        }
    }
    return true;
}

// Which vertices of a ring are corners: those where it does not go straight on, within the
// tolerance, from the corner before to the corner after. At least three stay.
std::vector<bool> KeptCorners(const std::vector<udtPoint>& ring, double tolerance) {
    const std::size_t m = ring.size();
    std::vector<bool> kept(m, true);
    if (m <= 3) {
        return kept;
    }
    std::vector<std::size_t> prev(m), next(m);
    for (std::size_t i = 0; i < m; ++i) {
        prev[i] = (i + m - 1) % m;
        next[i] = (i + 1) % m;
    }
    auto straight = [&](std::size_t i) {
        const udtPoint& a = ring[prev[i]];
        const udtPoint& b = ring[i];
        const udtPoint& c = ring[next[i]];
        const double length = Distance(a, c);
        if (!(length > 0)) {
            return false;
        }
        const bool onward = (b.X - a.X) * (c.X - b.X) + (b.Y - a.Y) * (c.Y - b.Y) > 0;
        return onward && std::fabs(Cross(a, c, b)) / length <= tolerance;
    };
    std::size_t left = m;
    std::vector<std::size_t> todo(m);
    std::iota(todo.begin(), todo.end(), std::size_t{0});
    while (!todo.empty() && left > 3) {
        const std::size_t i = todo.back();
        todo.pop_back();
        if (!kept[i] || !straight(i)) {
            continue;
        }
        kept[i] = false;
        --left;
        next[prev[i]] = next[i];
        prev[next[i]] = prev[i];
        todo.push_back(prev[i]);
        todo.push_back(next[i]);
    }
    return kept;
}

double RingArea(const std::vector<udtPoint>& ring) {
    double twice = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const udtPoint& a = ring[i];
        const udtPoint& b = ring[(i + 1) % ring.size()];
        twice += a.X * b.Y - b.X * a.Y;
    }
    return std::fabs(twice) / 2;
}

// The corners of the drawing after merging: every stored point and line end belongs to one.
struct Corners {
    std::vector<udtPoint> at;           // per corner, its first stored position
    std::vector<int> ofPoint;           // per stored point (0-based), its corner or -1
    std::vector<int> ofLineEnd;         // per line end (2 per line), its corner or -1
    std::vector<NearPoints> nearPoints; // the first LISTED
    long long nearPointsTotal = 0;
};

Corners MergeCorners(const ProjectData& data, double tolerance, Deadline& deadline) {
    const std::size_t points = data.points.size();
    std::vector<udtPoint> all(data.points);
    for (const udtLine& l : data.lines) {
        all.push_back({l.X1, l.Y1});
        all.push_back({l.X2, l.Y2});
    }
    // Equal positions first, so that piles of copies cost nothing below.
    std::unordered_map<udtPoint, int, PositionHash> positionOf;
    std::vector<udtPoint> positions;
    std::vector<int> positionOfItem(all.size(), -1);
    std::vector<std::vector<int>> pointsAt; // stored points (0-based) at each position
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!Usable(all[i])) {
            continue;
        }
        const auto [it, added] = positionOf.try_emplace(all[i], static_cast<int>(positions.size()));
        if (added) {
            positions.push_back(all[i]);
            pointsAt.emplace_back();
        }
        positionOfItem[i] = it->second;
        if (i < points) {
            pointsAt[static_cast<std::size_t>(it->second)].push_back(static_cast<int>(i));
        }
    }

    Corners result;
    UnionFind clusters(positions.size());
    FirstListed<NearPoints, decltype(&ByPair<NearPoints>)> near(&ByPair<NearPoints>);
    if (tolerance > 0) {
        CellMap cells(2 * tolerance);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            cells.ForNear(positions[i], [&](int j) {
                deadline.Step();
                const double d = Distance(positions[i], positions[static_cast<std::size_t>(j)]);
                if (d > tolerance) {
                    return;
                }
                clusters.Join(i, static_cast<std::size_t>(j));
                const auto& here = pointsAt[i];
                const auto& there = pointsAt[static_cast<std::size_t>(j)];
                result.nearPointsTotal += static_cast<long long>(here.size() * there.size());
                // Stored in order, so the first LISTED of each side hold the first pairs.
                for (std::size_t k = 0; k < std::min(there.size(), LISTED); ++k) {
                    for (std::size_t m = 0; m < std::min(here.size(), LISTED); ++m) {
                        const int a = there[k], b = here[m];
                        near.Add({std::min(a, b) + 1, std::max(a, b) + 1, d});
                    }
                }
            });
            cells.Add(positions[i], static_cast<int>(i));
        }
    }
    result.nearPoints = near.Take();

    std::vector<int> cornerOfRoot(positions.size(), -1);
    std::vector<int> cornerOfPosition(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const std::size_t root = clusters.Find(i);
        if (cornerOfRoot[root] < 0) {
            cornerOfRoot[root] = static_cast<int>(result.at.size());
            result.at.push_back(positions[root]);
        }
        cornerOfPosition[i] = cornerOfRoot[root];
    }
    auto cornerOf = [&](std::size_t item) {
        const int p = positionOfItem[item];
        return p < 0 ? -1 : cornerOfPosition[static_cast<std::size_t>(p)];
    };
    for (std::size_t i = 0; i < all.size(); ++i) {
        (i < points ? result.ofPoint : result.ofLineEnd).push_back(cornerOf(i));
    }
    return result;
}

// The first LISTED pairs of near lines, and how many there are.
std::pair<std::vector<NearLines>, long long> FindNearLines(const std::vector<udtLine>& lines,
                                                           double tolerance, Deadline& deadline) {
    FirstListed<NearLines, decltype(&ByPair<NearLines>)> result(&ByPair<NearLines>);
    long long total = 0;
    if (!(tolerance > 0)) {
        return {};
    }
    // Lines equal in either direction are one line here.
    struct Unique {
        udtPoint a, b;
        std::vector<int> lines; // 0-based
    };
    std::vector<Unique> unique;
    std::unordered_map<udtLine, int, std::function<std::size_t(const udtLine&)>> index(
        16, [](const udtLine& l) {
            const PositionHash h;
            return h({l.X1, l.Y1}) * 31 + h({l.X2, l.Y2});
        });
    for (std::size_t i = 0; i < lines.size(); ++i) {
        udtPoint a{lines[i].X1, lines[i].Y1};
        udtPoint b{lines[i].X2, lines[i].Y2};
        if (!Usable(a) || !Usable(b)) {
            continue;
        }
        if (std::pair(b.X, b.Y) < std::pair(a.X, a.Y)) {
            std::swap(a, b);
        }
        const auto [it, added] = index.try_emplace({a.X, a.Y, b.X, b.Y}, unique.size());
        if (added) {
            unique.push_back({a, b, {}});
        }
        unique[static_cast<std::size_t>(it->second)].lines.push_back(static_cast<int>(i));
    }

    CellMap ends(2 * tolerance);
    std::vector<int> candidates;
    for (std::size_t u = 0; u < unique.size(); ++u) {
        const Unique& line = unique[u];
        candidates.clear();
        ends.ForNear(line.a, [&](int end) { candidates.push_back(end / 2); });
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (const int v : candidates) {
            deadline.Step();
            const Unique& other = unique[static_cast<std::size_t>(v)];
            const double same = std::max(Distance(line.a, other.a), Distance(line.b, other.b));
            const double reversed = std::max(Distance(line.a, other.b), Distance(line.b, other.a));
            const double d = std::min(same, reversed);
            if (d > tolerance) {
                continue;
            }
            total += static_cast<long long>(other.lines.size() * line.lines.size());
            for (std::size_t k = 0; k < std::min(other.lines.size(), LISTED); ++k) {
                for (std::size_t m = 0; m < std::min(line.lines.size(), LISTED); ++m) {
                    const int a = other.lines[k], b = line.lines[m];
                    result.Add({std::min(a, b) + 1, std::max(a, b) + 1, d});
                }
            }
        }
        ends.Add(line.a, static_cast<int>(2 * u));
        ends.Add(line.b, static_cast<int>(2 * u + 1));
    }
    return {result.Take(), total};
}

// The drawing's lines between merged corners: one group per pair of corners joined.
struct Groups {
    std::vector<std::pair<int, int>> ends; // corners, in the direction of the first line
    std::vector<std::vector<int>> lines;   // stored lines (0-based) of each group
};

Groups GroupLines(const Corners& corners, std::size_t lineCount) {
    Groups groups;
    std::unordered_map<std::uint64_t, int> index;
    for (std::size_t i = 0; i < lineCount; ++i) {
        const int a = corners.ofLineEnd[2 * i];
        const int b = corners.ofLineEnd[2 * i + 1];
        if (a < 0 || b < 0 || a == b) {
            continue; // not finite, or no length once merged
        }
        const std::uint64_t key = (static_cast<std::uint64_t>(std::min(a, b)) << 32) |
                                  static_cast<std::uint32_t>(std::max(a, b));
        const auto [it, added] = index.try_emplace(key, static_cast<int>(groups.ends.size()));
        if (added) {
            groups.ends.emplace_back(a, b);
            groups.lines.emplace_back();
        }
        groups.lines[static_cast<std::size_t>(it->second)].push_back(static_cast<int>(i));
    }
    return groups;
}

// Per group, how many times its most repeated line is stored exactly (in either direction).
// The window never stores a line twice, so a repeat was drawn twice.
std::vector<int> Copies(const std::vector<udtLine>& lines, const Groups& groups) {
    std::vector<int> copies(groups.lines.size(), 1);
    for (std::size_t g = 0; g < groups.lines.size(); ++g) {
        const std::vector<int>& members = groups.lines[g];
        if (members.size() < 2) {
            continue;
        }
        std::vector<std::pair<udtPoint, udtPoint>> ends;
        for (const int i : members) {
            const udtLine& l = lines[static_cast<std::size_t>(i)];
            udtPoint a{l.X1, l.Y1}, b{l.X2, l.Y2};
            if (std::pair(b.X, b.Y) < std::pair(a.X, a.Y)) {
                std::swap(a, b);
            }
            ends.emplace_back(a, b);
        }
        auto key = [](const std::pair<udtPoint, udtPoint>& e) {
            return std::tuple(e.first.X, e.first.Y, e.second.X, e.second.Y);
        };
        std::sort(ends.begin(), ends.end(),
                  [&](const auto& x, const auto& y) { return key(x) < key(y); });
        int run = 1;
        for (std::size_t k = 1; k < ends.size(); ++k) {
            run = key(ends[k]) == key(ends[k - 1]) ? run + 1 : 1;
            copies[g] = std::max(copies[g], run);
        }
    }
    return copies;
}

// Each line cut at the corners that lie on it within the tolerance, so that a corner drawn
// on another polygon's side (a T-junction) joins that side however its last bits fell.
std::vector<Piece> CutAtCorners(const std::vector<udtPoint>& at, const Groups& groups,
                                double tolerance, Deadline& deadline) {
    std::vector<Piece> pieces;
    if (groups.ends.empty()) {
        return pieces;
    }
    std::vector<bool> isEnd(at.size(), false);
    std::vector<double> lengths;
    for (const auto& [a, b] : groups.ends) {
        isEnd[static_cast<std::size_t>(a)] = isEnd[static_cast<std::size_t>(b)] = true;
        lengths.push_back(
            Distance(at[static_cast<std::size_t>(a)], at[static_cast<std::size_t>(b)]));
    }
    std::nth_element(lengths.begin(),
                     lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2),
                     lengths.end());
    double cell = std::max(lengths[lengths.size() / 2], 4 * tolerance);
    if (!(cell > 0) || !std::isfinite(cell)) {
        cell = 1;
    }
    CellMap cells(cell);
    for (std::size_t c = 0; c < at.size(); ++c) {
        if (isEnd[c]) {
            cells.Add(at[c], static_cast<int>(c));
        }
    }
    std::vector<std::pair<double, int>> on;
    for (std::size_t g = 0; g < groups.ends.size(); ++g) {
        // Plain names, not a structured binding: older compilers cannot capture one.
        const int a = groups.ends[g].first;
        const int b = groups.ends[g].second;
        const udtPoint p = at[static_cast<std::size_t>(a)];
        const udtPoint q = at[static_cast<std::size_t>(b)];
        on.clear();
        if (tolerance > 0) {
            const Box box{std::min(p.X, q.X) - tolerance, std::min(p.Y, q.Y) - tolerance,
                          std::max(p.X, q.X) + tolerance, std::max(p.Y, q.Y) + tolerance};
            const double dx = q.X - p.X, dy = q.Y - p.Y;
            const double length2 = dx * dx + dy * dy;
            cells.ForBox(box, [&](int c) {
                deadline.Step();
                if (c == a || c == b) {
                    return;
                }
                const udtPoint r = at[static_cast<std::size_t>(c)];
                const double t = ((r.X - p.X) * dx + (r.Y - p.Y) * dy) / length2;
                if (!(t > 0 && t < 1)) {
                    return; // nearer an end, which it would have been merged with
                }
                if (Distance(r, {p.X + t * dx, p.Y + t * dy}) <= tolerance) {
                    on.emplace_back(t, c);
                }
            });
            std::sort(on.begin(), on.end());
        }
        int from = a;
        for (const auto& [t, c] : on) {
            pieces.push_back({from, c, static_cast<int>(g)});
            from = c;
        }
        pieces.push_back({from, b, static_cast<int>(g)});
    }
    return pieces;
}

// Regular polygons in the lines: paths of equal sides turning by 360/n degrees at each corner
// that close after n sides. Each is found once, from its lowest-numbered corner.
struct Polygon {
    std::vector<int> corners;
    std::vector<detail::PathSide> sides;
};

std::vector<Polygon> TracePolygons(const std::vector<udtPoint>& at, const Groups& groups,
                                   double tolerance, Deadline& deadline) {
    constexpr int MAX_CORNERS = 1000; // beyond this the turns of n and n + 1 are too close
    struct Link {
        int to = 0;
        detail::PathSide side;
    };
    std::vector<std::vector<Link>> links(at.size());
    for (std::size_t g = 0; g < groups.ends.size(); ++g) {
        const auto [a, b] = groups.ends[g];
        links[static_cast<std::size_t>(a)].push_back({b, {static_cast<int>(g), true}});
        links[static_cast<std::size_t>(b)].push_back({a, {static_cast<int>(g), false}});
    }
    auto pos = [&](int c) { return at[static_cast<std::size_t>(c)]; };

    std::vector<Polygon> found;
    Polygon path;
    for (std::size_t start = 0; start < at.size(); ++start) {
        const int u = static_cast<int>(start);
        for (const Link& first : links[start]) {
            const int w = first.to;
            if (w < u) {
                continue;
            }
            const double side = Distance(pos(u), pos(w));
            for (const Link& second : links[static_cast<std::size_t>(w)]) {
                deadline.Step();
                const int x = second.to;
                if (x == u || x < u) {
                    continue;
                }
                const double turn = Turn(pos(u), pos(w), pos(x));
                // Turns too small for any polygon are left before 2 pi / turn can overflow.
                if (!(turn > 2 * PI / (MAX_CORNERS + 1))) {
                    continue;
                }
                const long n = std::lround(2 * PI / turn);
                if (n < 3 || n > MAX_CORNERS) {
                    continue;
                }
                const RegularTest test{side, static_cast<int>(n), tolerance};
                if (!test.SideFits(Distance(pos(w), pos(x))) || !test.TurnFits(turn)) {
                    continue;
                }
                path.corners = {u, w, x};
                path.sides = {first.side, second.side};
                bool closed = false;
                while (!closed && static_cast<long>(path.sides.size()) < n) {
                    const int prev = path.corners[path.corners.size() - 2];
                    const int cur = path.corners.back();
                    const Link* next = nullptr;
                    for (const Link& link : links[static_cast<std::size_t>(cur)]) {
                        deadline.Step();
                        if (link.to != prev && (link.to == u || link.to > u) &&
                            test.SideFits(Distance(pos(cur), pos(link.to))) &&
                            test.TurnFits(Turn(pos(prev), pos(cur), pos(link.to)))) {
                            next = &link;
                            break;
                        }
                    }
                    if (next == nullptr) {
                        break;
                    }
                    path.sides.push_back(next->side);
                    if (next->to == u) {
                        closed = true;
                    } else {
                        path.corners.push_back(next->to);
                    }
                }
                if (!closed || static_cast<long>(path.sides.size()) != n ||
                    !test.TurnFits(Turn(pos(path.corners.back()), pos(u), pos(w)))) {
                    continue;
                }
                found.push_back(path);
            }
        }
    }
    return found;
}

// The cell of v in a row of `count` cells of `size` from `lo`. Clamped as a double: with one cell
// of size 1 over a drawing 1e12 wide the quotient is far beyond an int.
int CellOf(double v, double lo, double size, int count) {
    const double cell = std::floor((v - lo) / size);
    return cell >= 0 ? static_cast<int>(std::min(cell, static_cast<double>(count - 1))) : 0;
}

// Pairs of pieces that may meet other than where they merely share an end (a crossing, an
// overlap, a corner on a side), counted up to `limit` + 1 with a sweep along x in doubles,
// generous where rounding could hide a meeting. Each costs the arrangement a vertex or the
// sharing of edges, so the count bounds its size before it is built.
long long CountMeetings(const std::vector<udtPoint>& at, const std::vector<Piece>& pieces,
                        long long limit, Deadline& deadline) {
    struct Span {
        udtPoint p, q;
        int from, to;
        double minX, maxX, minY, maxY;
    };
    std::vector<Span> spans;
    spans.reserve(pieces.size());
    for (const Piece& piece : pieces) {
        const udtPoint p = at[static_cast<std::size_t>(piece.from)];
        const udtPoint q = at[static_cast<std::size_t>(piece.to)];
        spans.push_back({p, q, piece.from, piece.to, std::min(p.X, q.X), std::max(p.X, q.X),
                         std::min(p.Y, q.Y), std::max(p.Y, q.Y)});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& x, const Span& y) { return x.minX < y.minX; });
    // Whether r and s lie strictly on one side of the line through p and q, beyond rounding.
    auto apart = [](udtPoint p, udtPoint q, udtPoint r, udtPoint s) {
        const double o1 = Cross(p, q, r), o2 = Cross(p, q, s);
        const double slack =
            1e-9 * Distance(p, q) * (Distance(p, r) + Distance(p, s) + Distance(q, r));
        return (o1 > slack && o2 > slack) || (o1 < -slack && o2 < -slack);
    };
    long long count = 0;
    std::vector<std::size_t> active;
    for (std::size_t i = 0; i < spans.size() && count <= limit; ++i) {
        const Span& x = spans[i];
        for (std::size_t k = 0; k < active.size() && count <= limit;) {
            deadline.Step();
            const Span& y = spans[active[k]];
            if (y.maxX < x.minX) {
                active[k] = active.back();
                active.pop_back();
                continue;
            }
            ++k;
            if (y.maxY < x.minY || x.maxY < y.minY || apart(x.p, x.q, y.p, y.q) ||
                apart(y.p, y.q, x.p, x.q)) {
                continue;
            }
            const int shared = x.from == y.from || x.from == y.to ? x.from
                               : x.to == y.from || x.to == y.to   ? x.to
                                                                  : -1;
            if (shared >= 0) {
                // Two segments from one end meet only there, unless they run the same way.
                const udtPoint o = at[static_cast<std::size_t>(shared)];
                const udtPoint u = x.from == shared ? x.q : x.p;
                const udtPoint v = y.from == shared ? y.q : y.p;
                const double dot = (u.X - o.X) * (v.X - o.X) + (u.Y - o.Y) * (v.Y - o.Y);
                const double side = std::fabs(Cross(o, u, v));
                if (!(dot > 0) || side > 1e-9 * Distance(o, u) * Distance(o, v)) {
                    continue;
                }
            }
            ++count;
        }
        active.push_back(i);
    }
    return count;
}

std::shared_ptr<const FaceIndex> IndexFaces(const std::vector<detail::ArrFace>& faces) {
    auto index = std::make_shared<FaceIndex>();
    if (faces.empty()) {
        return index;
    }
    for (const detail::ArrFace& face : faces) {
        Box box{face.outer[0].X, face.outer[0].Y, face.outer[0].X, face.outer[0].Y};
        for (const udtPoint& p : face.outer) {
            box = {std::min(box.minX, p.X), std::min(box.minY, p.Y), std::max(box.maxX, p.X),
                   std::max(box.maxY, p.Y)};
        }
        if (index->boxes.empty()) {
            index->all = box;
        }
        index->all = {std::min(index->all.minX, box.minX), std::min(index->all.minY, box.minY),
                      std::max(index->all.maxX, box.maxX), std::max(index->all.maxY, box.maxY)};
        index->boxes.push_back(box);
        std::vector<std::vector<udtPoint>> rings{face.outer};
        rings.insert(rings.end(), face.holes.begin(), face.holes.end());
        index->rings.push_back(std::move(rings));
    }
    const int side =
        std::clamp(static_cast<int>(std::sqrt(static_cast<double>(faces.size()))), 1, 1024);
    index->columns = index->rows = side;
    index->cellWidth = (index->all.maxX - index->all.minX) / side;
    index->cellHeight = (index->all.maxY - index->all.minY) / side;
    if (!(index->cellWidth > 0) || !std::isfinite(index->cellWidth) || !(index->cellHeight > 0) ||
        !std::isfinite(index->cellHeight)) {
        index->columns = index->rows = 1; // one cell holds everything
        index->cellWidth = index->cellHeight = 1;
    }
    index->cells.resize(static_cast<std::size_t>(index->columns * index->rows));
    auto cellOf = [&](double v, double lo, double size, int count) {
        return CellOf(v, lo, size, count);
    };
    for (std::size_t f = 0; f < index->boxes.size(); ++f) {
        const Box& b = index->boxes[f];
        const int c0 = cellOf(b.minX, index->all.minX, index->cellWidth, index->columns);
        const int c1 = cellOf(b.maxX, index->all.minX, index->cellWidth, index->columns);
        const int r0 = cellOf(b.minY, index->all.minY, index->cellHeight, index->rows);
        const int r1 = cellOf(b.maxY, index->all.minY, index->cellHeight, index->rows);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                index->cells[static_cast<std::size_t>(r * index->columns + c)].push_back(
                    static_cast<int>(f));
            }
        }
    }
    return index;
}

} // namespace

std::string CanonicalConfiguration(const std::vector<int>& around) {
    std::vector<int> best = around;
    std::vector<int> candidate = around;
    for (int mirror = 0; mirror < 2; ++mirror) {
        for (std::size_t r = 0; r < candidate.size(); ++r) {
            std::rotate(candidate.begin(), candidate.begin() + 1, candidate.end());
            best = std::min(best, candidate);
        }
        std::reverse(candidate.begin(), candidate.end());
    }
    std::string text;
    for (const int n : best) {
        text += (text.empty() ? "" : ".") + std::to_string(n);
    }
    return text;
}

namespace {

// Faces, corners, overfull corners and crossings; throws OverBudget.
void FindStructure(const ProjectData& data, double tolerance, const Budget& budget,
                   Deadline& deadline, const Corners& corners, Analysis& result) {
    const Groups groups = GroupLines(corners, data.lines.size());
    const std::vector<Piece> pieces = CutAtCorners(corners.at, groups, tolerance, deadline);
    if (CountMeetings(corners.at, pieces, budget.meetings, deadline) > budget.meetings) {
        throw OverBudget{"more than " + std::to_string(budget.meetings) +
                         " places where lines may cross or overlap, the budget of the exact "
                         "arrangement"};
    }
    const detail::Arrangement arrangement(corners.at, pieces);

    // Faces.
    std::vector<std::vector<bool>> kept;
    for (const detail::ArrFace& f : arrangement.faces) {
        deadline.Step();
        Face face;
        kept.push_back(KeptCorners(f.outer, tolerance));
        for (std::size_t i = 0; i < f.outer.size(); ++i) {
            if (kept.back()[i]) {
                face.corners.push_back(f.outer[i]);
            }
        }
        face.holes = static_cast<int>(f.holes.size());
        face.regular = face.holes == 0 && IsRegular(face.corners, tolerance);
        face.area = RingArea(f.outer);
        for (const auto& hole : f.holes) {
            face.area -= RingArea(hole);
        }
        result.faces.push_back(std::move(face));
    }

    // Regular polygons drawn, including those that other lines cut into several faces. A path
    // whose inside is several faces is drawn only if some face inside is not regular and some
    // side of it is no side of a smaller regular polygon, whole or not (another line at one of
    // its ends, as long, at the angle of a polygon of fewer corners). Otherwise it may be the
    // outline of smaller polygons round a gap (two triangles missing from six round a corner;
    // a rosette's squares open where its hexagon was) as well as a polygon over them, and the
    // outline overlaps nothing.
    std::vector<std::vector<std::pair<int, int>>> links(corners.at.size()); // other end, line
    for (std::size_t g = 0; g < groups.ends.size(); ++g) {
        const auto [a, b] = groups.ends[g];
        links[static_cast<std::size_t>(a)].emplace_back(b, static_cast<int>(g));
        links[static_cast<std::size_t>(b)].emplace_back(a, static_cast<int>(g));
    }
    auto pos = [&](int c) { return corners.at[static_cast<std::size_t>(c)]; };
    // Whether the side from `end` to `far` is a side of a smaller regular polygon than an n-gon.
    auto sideOfSmaller = [&](int end, int far, int group, int n) {
        const double length = Distance(pos(end), pos(far));
        for (const auto& [other, g] : links[static_cast<std::size_t>(end)]) {
            deadline.Step();
            if (g == group) {
                continue;
            }
            const double turn = std::fabs(Turn(pos(far), pos(end), pos(other)));
            // Only turns of polygons smaller than an n-gon; this also keeps 2 pi / turn finite
            // for lines that go straight on (or back).
            if (!(turn > 2 * PI / n)) {
                continue;
            }
            const long m = std::lround(2 * PI / turn);
            if (m < 3 || m >= n) {
                continue;
            }
            const RegularTest test{length, static_cast<int>(m), tolerance};
            if (test.SideFits(Distance(pos(end), pos(other))) && test.TurnFits(turn)) {
                return true;
            }
        }
        return false;
    };
    const std::vector<int> copies = Copies(data.lines, groups);
    std::vector<double> polygonAngles(corners.at.size(), 0);
    std::vector<bool> drawnTwice(corners.at.size(), false);
    for (const Polygon& polygon : TracePolygons(corners.at, groups, tolerance, deadline)) {
        int inside = 0;
        bool irregular = false;
        const bool closed = arrangement.ForEachFaceInside(polygon.sides, [&](int f) {
            deadline.Step();
            ++inside;
            irregular = irregular || !result.faces[static_cast<std::size_t>(f)].regular;
            return inside < 2 || !irregular; // enough to tell one face from an outline
        });
        const int n = static_cast<int>(polygon.corners.size());
        bool framed = true;
        for (int i = 0; i < n && framed; ++i) {
            const int from = polygon.corners[static_cast<std::size_t>(i)];
            const int to = polygon.corners[static_cast<std::size_t>((i + 1) % n)];
            const int group = polygon.sides[static_cast<std::size_t>(i)].group;
            framed = sideOfSmaller(from, to, group, n) || sideOfSmaller(to, from, group, n);
        }
        if (!closed || (inside > 1 && (!irregular || framed))) {
            continue;
        }
        // Drawn as often as its least repeated side is stored.
        int times = std::numeric_limits<int>::max();
        for (const detail::PathSide& side : polygon.sides) {
            times = std::min(times, copies[static_cast<std::size_t>(side.group)]);
        }
        const double angle = InteriorAngle(static_cast<int>(polygon.corners.size()));
        for (const int c : polygon.corners) {
            polygonAngles[static_cast<std::size_t>(c)] += angle * times;
            drawnTwice[static_cast<std::size_t>(c)] =
                drawnTwice[static_cast<std::size_t>(c)] || times > 1;
        }
    }

    // Corners, and whether polygons drawn there overlap.
    std::vector<std::pair<Corner, bool>> found;
    for (const detail::ArrVertex& v : arrangement.vertices) {
        deadline.Step();
        Corner corner;
        corner.at = v.at;
        corner.surrounded = true;
        for (const detail::ArrSector& s : v.sectors) {
            int n = 0;
            if (s.face >= 0 && s.at >= 0) {
                const auto f = static_cast<std::size_t>(s.face);
                if (result.faces[f].regular && kept[f][static_cast<std::size_t>(s.at)]) {
                    n = static_cast<int>(result.faces[f].corners.size());
                }
            }
            corner.around.push_back(n);
            corner.surrounded = corner.surrounded && n > 0;
            corner.angleSum += n > 0 ? InteriorAngle(n) : 0;
        }
        if (corner.surrounded) {
            corner.configuration = CanonicalConfiguration(corner.around);
        }
        bool twice = false;
        if (v.corner >= 0) {
            corner.polygonAngleSum = polygonAngles[static_cast<std::size_t>(v.corner)];
            twice = drawnTwice[static_cast<std::size_t>(v.corner)];
        }
        found.emplace_back(std::move(corner), twice);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first.at.Y, a.first.at.X) < std::pair(b.first.at.Y, b.first.at.X);
    });
    for (auto& [c, twice] : found) {
        if (c.surrounded) {
            ++result.configurations[c.configuration];
        }
        if (twice || c.polygonAngleSum > 360 + ANGLE_SUM_TOLERANCE) {
            result.overfullCorners.push_back(static_cast<int>(result.corners.size()));
        }
        result.corners.push_back(std::move(c));
    }

    // Crossings, line by line. The lines of a group are in order, so the first LISTED of each
    // of two groups hold the first LISTED pairs between them.
    FirstListed<Crossing, decltype(&ByPair<Crossing>)> crossings(&ByPair<Crossing>);
    for (const detail::Meeting& m : arrangement.meetings) {
        const auto& g = groups.lines[static_cast<std::size_t>(m.g)];
        const auto& h = groups.lines[static_cast<std::size_t>(m.h)];
        result.crossingsTotal += static_cast<long long>(g.size() * h.size());
        for (std::size_t i = 0; i < std::min(g.size(), LISTED); ++i) {
            for (std::size_t j = 0; j < std::min(h.size(), LISTED); ++j) {
                deadline.Step();
                crossings.Add(
                    {std::min(g[i], h[j]) + 1, std::max(g[i], h[j]) + 1, m.at, m.overlap});
            }
        }
    }
    result.crossings = crossings.Take();

    result.faceIndex = IndexFaces(arrangement.faces);
}

} // namespace

Analysis Analyse(const ProjectData& data, double tolerance, const Budget& budget) {
    if (!(tolerance >= 0)) {
        tolerance = 0;
    }
    Analysis result;
    result.tolerance = tolerance;
    result.points = static_cast<int>(data.points.size());
    result.lines = static_cast<int>(data.lines.size());
    result.fills = static_cast<int>(data.fills.size());

    // Bounds and the canvas.
    bool any = false;
    auto extend = [&](udtPoint p) {
        if (!Finite(p)) {
            return;
        }
        if (!any) {
            result.bounds = {p.X, p.Y, p.X, p.Y};
            any = true;
        }
        Box& b = result.bounds;
        b = {std::min(b.minX, p.X), std::min(b.minY, p.Y), std::max(b.maxX, p.X),
             std::max(b.maxY, p.Y)};
    };
    const Box canvas{0, 0, CANVAS_WIDTH, CANVAS_HEIGHT};
    auto onCanvas = [&](udtPoint p) {
        return Finite(p) && p.X >= canvas.minX && p.X <= canvas.maxX && p.Y >= canvas.minY &&
               p.Y <= canvas.maxY;
    };
    for (const udtPoint& p : data.points) {
        extend(p);
        result.pointsOutside += onCanvas(p) ? 0 : 1;
    }
    for (std::size_t i = 0; i < data.lines.size(); ++i) {
        const udtLine& l = data.lines[i];
        const udtPoint a{l.X1, l.Y1}, b{l.X2, l.Y2};
        extend(a);
        extend(b);
        if (!Usable(a) || !Usable(b)) {
            if (++result.linesLeftOutTotal <= static_cast<long long>(LISTED)) {
                result.linesLeftOut.push_back(static_cast<int>(i) + 1);
            }
        }
        if (onCanvas(a) && onCanvas(b)) {
            continue;
        }
        if (Finite(a) && Finite(b) && detail::SegmentMeetsBox(l, canvas)) {
            ++result.linesPartlyOutside;
        } else {
            ++result.linesOutside;
        }
    }

    Deadline deadline(budget.seconds);
    try {
        // Drift, and the corners merged within the tolerance.
        Corners corners = MergeCorners(data, tolerance, deadline);
        result.nearPoints = std::move(corners.nearPoints);
        result.nearPointsTotal = corners.nearPointsTotal;
        std::tie(result.nearLines, result.nearLinesTotal) =
            FindNearLines(data.lines, tolerance, deadline);
        FindStructure(data, tolerance, budget, deadline, corners, result);
    } catch (const OverBudget& over) {
        // What was found before stays; what the budget stopped is empty, not partial.
        result.faces.clear();
        result.corners.clear();
        result.configurations.clear();
        result.overfullCorners.clear();
        result.crossings.clear();
        result.crossingsTotal = 0;
        result.refused = over.why;
    }
    if (!result.faceIndex) {
        result.faceIndex = IndexFaces({});
    }
    return result;
}

int FaceAt(const Analysis& analysis, udtPoint point) {
    const FaceIndex* index = analysis.faceIndex.get();
    if (index == nullptr || index->boxes.empty() || !Finite(point)) {
        return -1;
    }
    const Box& all = index->all;
    if (point.X < all.minX || point.X > all.maxX || point.Y < all.minY || point.Y > all.maxY) {
        return -1;
    }
    const int c = CellOf(point.X, all.minX, index->cellWidth, index->columns);
    const int r = CellOf(point.Y, all.minY, index->cellHeight, index->rows);
    for (const int f : index->cells[static_cast<std::size_t>(r * index->columns + c)]) {
        const Box& b = index->boxes[static_cast<std::size_t>(f)];
        if (point.X < b.minX || point.X > b.maxX || point.Y < b.minY || point.Y > b.maxY) {
            continue;
        }
        const auto& rings = index->rings[static_cast<std::size_t>(f)];
        const detail::Where where = detail::Locate(rings[0], point);
        if (where == detail::Where::OnBoundary) {
            return -1;
        }
        if (where == detail::Where::Outside) {
            continue;
        }
        bool inHole = false;
        for (std::size_t h = 1; h < rings.size() && !inHole; ++h) {
            const detail::Where inner = detail::Locate(rings[h], point);
            if (inner == detail::Where::OnBoundary) {
                return -1;
            }
            inHole = inner == detail::Where::Inside;
        }
        if (!inHole) {
            return f;
        }
    }
    return -1;
}

} // namespace quillet::analysis
