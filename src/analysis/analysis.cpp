#include "analysis/analysis.h"

#include "analysis/arrangement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
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
    std::vector<udtPoint> at;   // per corner, its first stored position
    std::vector<int> ofPoint;   // per stored point (0-based), its corner or -1
    std::vector<int> ofLineEnd; // per line end (2 per line), its corner or -1
    std::vector<NearPoints> nearPoints;
};

Corners MergeCorners(const ProjectData& data, double tolerance) {
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
        if (!Finite(all[i])) {
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
    if (tolerance > 0) {
        CellMap cells(2 * tolerance);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            cells.ForNear(positions[i], [&](int j) {
                const double d = Distance(positions[i], positions[static_cast<std::size_t>(j)]);
                if (d > tolerance) {
                    return;
                }
                clusters.Join(i, static_cast<std::size_t>(j));
                for (const int a : pointsAt[static_cast<std::size_t>(j)]) {
                    for (const int b : pointsAt[i]) {
                        result.nearPoints.push_back({std::min(a, b) + 1, std::max(a, b) + 1, d});
                    }
                }
            });
            cells.Add(positions[i], static_cast<int>(i));
        }
    }
    std::sort(result.nearPoints.begin(), result.nearPoints.end(),
              [](const NearPoints& x, const NearPoints& y) {
                  return std::pair(x.a, x.b) < std::pair(y.a, y.b);
              });

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

std::vector<NearLines> FindNearLines(const std::vector<udtLine>& lines, double tolerance) {
    std::vector<NearLines> result;
    if (!(tolerance > 0)) {
        return result;
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
        if (!Finite(a) || !Finite(b)) {
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
            const Unique& other = unique[static_cast<std::size_t>(v)];
            const double same = std::max(Distance(line.a, other.a), Distance(line.b, other.b));
            const double reversed = std::max(Distance(line.a, other.b), Distance(line.b, other.a));
            const double d = std::min(same, reversed);
            if (d > tolerance) {
                continue;
            }
            for (const int a : other.lines) {
                for (const int b : line.lines) {
                    result.push_back({std::min(a, b) + 1, std::max(a, b) + 1, d});
                }
            }
        }
        ends.Add(line.a, static_cast<int>(2 * u));
        ends.Add(line.b, static_cast<int>(2 * u + 1));
    }
    std::sort(result.begin(), result.end(), [](const NearLines& x, const NearLines& y) {
        return std::pair(x.a, x.b) < std::pair(y.a, y.b);
    });
    return result;
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

// Each line cut at the corners that lie on it within the tolerance, so that a corner drawn
// on another polygon's side (a T-junction) joins that side however its last bits fell.
std::vector<Piece> CutAtCorners(const std::vector<udtPoint>& at, const Groups& groups,
                                double tolerance) {
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
                                   double tolerance) {
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
                const int x = second.to;
                if (x == u || x < u) {
                    continue;
                }
                const double turn = Turn(pos(u), pos(w), pos(x));
                if (!(turn > 0)) {
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
        return std::clamp(static_cast<int>(std::floor((v - lo) / size)), 0, count - 1);
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

Analysis Analyse(const ProjectData& data, double tolerance) {
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
    for (const udtLine& l : data.lines) {
        const udtPoint a{l.X1, l.Y1}, b{l.X2, l.Y2};
        extend(a);
        extend(b);
        if (onCanvas(a) && onCanvas(b)) {
            continue;
        }
        if (Finite(a) && Finite(b) && detail::SegmentMeetsBox(l, canvas)) {
            ++result.linesPartlyOutside;
        } else {
            ++result.linesOutside;
        }
    }

    // Drift, and the corners merged within the tolerance.
    Corners corners = MergeCorners(data, tolerance);
    result.nearPoints = std::move(corners.nearPoints);
    result.nearLines = FindNearLines(data.lines, tolerance);
    const Groups groups = GroupLines(corners, data.lines.size());
    const std::vector<Piece> pieces = CutAtCorners(corners.at, groups, tolerance);
    const detail::Arrangement arrangement(corners.at, pieces);

    // Faces.
    std::vector<std::vector<bool>> kept;
    for (const detail::ArrFace& f : arrangement.faces) {
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
    // whose inside is several faces, all regular, is only their outline (six triangles round
    // a corner outline a hexagon) and is not counted.
    std::vector<double> polygonAngles(corners.at.size(), 0);
    for (const Polygon& polygon : TracePolygons(corners.at, groups, tolerance)) {
        int inside = 0;
        bool irregular = false;
        const bool closed = arrangement.ForEachFaceInside(polygon.sides, [&](int f) {
            ++inside;
            irregular = !result.faces[static_cast<std::size_t>(f)].regular;
            return !irregular;
        });
        if (closed && (inside == 1 || irregular)) {
            const double angle = InteriorAngle(static_cast<int>(polygon.corners.size()));
            for (const int c : polygon.corners) {
                polygonAngles[static_cast<std::size_t>(c)] += angle;
            }
        }
    }

    // Corners.
    for (const detail::ArrVertex& v : arrangement.vertices) {
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
        if (v.corner >= 0) {
            corner.polygonAngleSum = polygonAngles[static_cast<std::size_t>(v.corner)];
        }
        result.corners.push_back(std::move(corner));
    }
    std::stable_sort(result.corners.begin(), result.corners.end(),
                     [](const Corner& a, const Corner& b) {
                         return std::pair(a.at.Y, a.at.X) < std::pair(b.at.Y, b.at.X);
                     });
    for (std::size_t i = 0; i < result.corners.size(); ++i) {
        const Corner& c = result.corners[i];
        if (c.surrounded) {
            ++result.configurations[c.configuration];
        }
        if (c.polygonAngleSum > 360 + ANGLE_SUM_TOLERANCE) {
            result.overfullCorners.push_back(static_cast<int>(i));
        }
    }

    // Crossings, line by line.
    for (const detail::Meeting& m : arrangement.meetings) {
        for (const int a : groups.lines[static_cast<std::size_t>(m.g)]) {
            for (const int b : groups.lines[static_cast<std::size_t>(m.h)]) {
                result.crossings.push_back(
                    {std::min(a, b) + 1, std::max(a, b) + 1, m.at, m.overlap});
            }
        }
    }
    std::sort(result.crossings.begin(), result.crossings.end(),
              [](const Crossing& x, const Crossing& y) {
                  return std::pair(x.a, x.b) < std::pair(y.a, y.b);
              });

    result.faceIndex = IndexFaces(arrangement.faces);
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
    const int c = std::clamp(static_cast<int>(std::floor((point.X - all.minX) / index->cellWidth)),
                             0, index->columns - 1);
    const int r = std::clamp(static_cast<int>(std::floor((point.Y - all.minY) / index->cellHeight)),
                             0, index->rows - 1);
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
