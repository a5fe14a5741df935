#include "app/tiling_generator.h"

#include "app/controls.h"
#include "app/main_window.h"
#include "platform/headless_platform.h"
#include "project/project_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <numbers>
#include <unordered_map>

namespace quillet {

int TilingSwatch(int n) {
    switch (n) {
    case 3:
        return 14;
    case 4:
        return 12;
    case 6:
        return 9;
    case 8:
        return 11;
    case 12:
        return 13;
    default:
        return -1;
    }
}

namespace {

// Corners and sides need a pixel to spare: a side on the canvas's last pixel row would leave
// the face open there to a fill.
constexpr double MARGIN = 1;

struct PlannedFace {
    int n = 0;
    udtPoint centre;
    std::vector<udtPoint> corners; // going round the face
    std::vector<int> ids;          // the corners as tiling vertices
};

// Points of the plan that are one tiling vertex: they differ by rounding only.
class VertexIds {
  public:
    explicit VertexIds(double tolerance) : tolerance_(tolerance), cell_(4 * tolerance) {}

    int Id(udtPoint p) {
        const auto gx = static_cast<long long>(std::floor(p.X / cell_));
        const auto gy = static_cast<long long>(std::floor(p.Y / cell_));
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                const auto found = grid_.find(Key(gx + dx, gy + dy));
                if (found == grid_.end()) {
                    continue;
                }
                for (int id : found->second) {
                    const udtPoint q = points_[static_cast<std::size_t>(id)];
                    if (std::fabs(q.X - p.X) <= tolerance_ && std::fabs(q.Y - p.Y) <= tolerance_) {
                        return id;
                    }
                }
            }
        }
        const int id = static_cast<int>(points_.size());
        points_.push_back(p);
        grid_[Key(gx, gy)].push_back(id);
        return id;
    }

  private:
    static unsigned long long Key(long long x, long long y) {
        return static_cast<unsigned long long>(x) * 0x9E3779B97F4A7C15ull ^
               static_cast<unsigned long long>(y);
    }
    double tolerance_;
    double cell_;
    std::vector<udtPoint> points_;
    std::unordered_map<unsigned long long, std::vector<int>> grid_;
};

// The faces to build, in the order built, each with the side it is built on.
struct Plan {
    std::vector<PlannedFace> faces;
    std::vector<int> sideOn;  // the side (corner k to k + 1) it is built on
    int surrounded = 0;       // vertices with planned faces all round
    std::size_t vertices = 0; // distinct corners
    std::size_t sides = 0;    // distinct sides
    bool tooMany = false;     // more faces fit than a drawing can hold
};

long long SideKey(int a, int b) {
    return static_cast<long long>(std::min(a, b)) * (1LL << 31) + std::max(a, b);
}

Plan MakePlan(const TilingCell& cell, double side, udtPoint centre, int width, int height) {
    Plan plan;
    const double left = MARGIN, top = MARGIN;
    const double right = width - 1 - MARGIN, bottom = height - 1 - MARGIN;
    // Lattice positions whose faces may reach the canvas: the canvas, widened by the farthest
    // corner of the cell from the cell's origin, in lattice coordinates.
    double reach = 0;
    for (const CellFace& f : cell.faces) {
        reach = std::max(reach, std::hypot(f.x, f.y) + 0.5 / std::sin(std::numbers::pi / f.n));
    }
    reach *= side;
    const double det = cell.ax * cell.by - cell.ay * cell.bx;
    double iMin = 1e300, iMax = -1e300, jMin = 1e300, jMax = -1e300;
    for (double x : {left - reach, right + reach}) {
        for (double y : {top - reach, bottom + reach}) {
            // Canvas to cell coordinates (y up), then to lattice coordinates.
            const double u = (x - centre.X) / side, v = (centre.Y - y) / side;
            const double i = (u * cell.by - v * cell.bx) / det;
            const double j = (v * cell.ax - u * cell.ay) / det;
            iMin = std::min(iMin, i);
            iMax = std::max(iMax, i);
            jMin = std::min(jMin, j);
            jMax = std::max(jMax, j);
        }
    }
    std::vector<PlannedFace> onCanvas;
    for (long long i = static_cast<long long>(std::floor(iMin));
         i <= static_cast<long long>(std::ceil(iMax)) && !plan.tooMany; ++i) {
        for (long long j = static_cast<long long>(std::floor(jMin));
             j <= static_cast<long long>(std::ceil(jMax)) && !plan.tooMany; ++j) {
            for (const CellFace& f : cell.faces) {
                const double x =
                    f.x + static_cast<double>(i) * cell.ax + static_cast<double>(j) * cell.bx;
                const double y =
                    f.y + static_cast<double>(i) * cell.ay + static_cast<double>(j) * cell.by;
                PlannedFace face;
                face.n = f.n;
                face.centre = {centre.X + side * x, centre.Y - side * y};
                const double r = side * 0.5 / std::sin(std::numbers::pi / f.n);
                bool inside = true;
                for (int k = 0; k < f.n && inside; ++k) {
                    const double t = (f.cornerDeg + 360.0 * k / f.n) * std::numbers::pi / 180;
                    const udtPoint p{face.centre.X + r * std::cos(t),
                                     face.centre.Y - r * std::sin(t)};
                    inside = p.X >= left && p.X <= right && p.Y >= top && p.Y <= bottom;
                    face.corners.push_back(p);
                }
                if (inside) {
                    onCanvas.push_back(std::move(face));
                    plan.tooMany = onCanvas.size() >= static_cast<std::size_t>(MAX_ELEMENTS);
                }
            }
        }
    }
    if (plan.tooMany || onCanvas.empty()) {
        return plan;
    }

    VertexIds ids(1e-6 * side);
    std::unordered_map<long long, std::vector<int>> facesOfSide;
    for (std::size_t f = 0; f < onCanvas.size(); ++f) {
        PlannedFace& face = onCanvas[f];
        for (const udtPoint& p : face.corners) {
            face.ids.push_back(ids.Id(p));
        }
        for (int k = 0; k < face.n; ++k) {
            facesOfSide[SideKey(face.ids[static_cast<std::size_t>(k)],
                                face.ids[static_cast<std::size_t>((k + 1) % face.n)])]
                .push_back(static_cast<int>(f));
        }
    }
    // The faces that connect by shared sides; the patch is the largest such group (a centre
    // near the canvas's edge may sit on a face cut off from the rest there).
    std::vector<int> group(onCanvas.size(), -1);
    std::vector<std::size_t> groupSize;
    for (std::size_t start = 0; start < onCanvas.size(); ++start) {
        if (group[start] >= 0) {
            continue;
        }
        const int g = static_cast<int>(groupSize.size());
        groupSize.push_back(0);
        std::vector<std::size_t> stack{start};
        group[start] = g;
        while (!stack.empty()) {
            const std::size_t f = stack.back();
            stack.pop_back();
            ++groupSize.back();
            const PlannedFace& face = onCanvas[f];
            for (int k = 0; k < face.n; ++k) {
                for (int h :
                     facesOfSide[SideKey(face.ids[static_cast<std::size_t>(k)],
                                         face.ids[static_cast<std::size_t>((k + 1) % face.n)])]) {
                    if (group[static_cast<std::size_t>(h)] < 0) {
                        group[static_cast<std::size_t>(h)] = g;
                        stack.push_back(static_cast<std::size_t>(h));
                    }
                }
            }
        }
    }
    const auto largest =
        static_cast<int>(std::max_element(groupSize.begin(), groupSize.end()) - groupSize.begin());
    const auto distance = [&](std::size_t g) {
        return std::hypot(onCanvas[g].centre.X - centre.X, onCanvas[g].centre.Y - centre.Y);
    };
    std::size_t first = onCanvas.size();
    for (std::size_t f = 0; f < onCanvas.size(); ++f) {
        if (group[f] == largest && (first == onCanvas.size() || distance(f) < distance(first))) {
            first = f;
        }
    }

    // Breadth first over shared sides: each face on the side it shares with the face that
    // reached it first.
    std::vector<int> order(onCanvas.size(), -1);
    std::deque<std::pair<int, int>> queue{{static_cast<int>(first), -1}};
    std::vector<int> sideOn;
    std::vector<int> sequence;
    while (!queue.empty()) {
        const auto [f, from] = queue.front();
        queue.pop_front();
        if (order[static_cast<std::size_t>(f)] >= 0) {
            continue;
        }
        const PlannedFace& face = onCanvas[static_cast<std::size_t>(f)];
        int shared = 0;
        if (from >= 0) {
            for (int k = 0; k < face.n; ++k) {
                const auto& neighbours =
                    facesOfSide[SideKey(face.ids[static_cast<std::size_t>(k)],
                                        face.ids[static_cast<std::size_t>((k + 1) % face.n)])];
                if (std::find(neighbours.begin(), neighbours.end(), from) != neighbours.end()) {
                    shared = k;
                }
            }
        }
        order[static_cast<std::size_t>(f)] = static_cast<int>(sequence.size());
        sequence.push_back(f);
        sideOn.push_back(shared);
        for (int k = 0; k < face.n; ++k) {
            for (int g :
                 facesOfSide[SideKey(face.ids[static_cast<std::size_t>(k)],
                                     face.ids[static_cast<std::size_t>((k + 1) % face.n)])]) {
                if (g != f && order[static_cast<std::size_t>(g)] < 0) {
                    queue.emplace_back(g, f);
                }
            }
        }
    }

    std::unordered_map<int, double> angles;
    std::unordered_map<long long, bool> sides;
    for (int f : sequence) {
        PlannedFace& face = onCanvas[static_cast<std::size_t>(f)];
        for (int k = 0; k < face.n; ++k) {
            const int id = face.ids[static_cast<std::size_t>(k)];
            angles[id] += 180.0 * (face.n - 2) / face.n;
            sides[SideKey(id, face.ids[static_cast<std::size_t>((k + 1) % face.n)])] = true;
        }
        plan.faces.push_back(std::move(face));
    }
    for (const auto& [id, sum] : angles) {
        plan.surrounded += std::fabs(sum - 360) < 1e-6 ? 1 : 0;
    }
    plan.vertices = angles.size();
    plan.sides = sides.size();
    plan.sideOn = std::move(sideOn);
    return plan;
}

// The main window, driven as the canvas and the corner-count box drive it.
struct Window {
    HeadlessPlatform platform{'.'};
    frmMain form{platform, CANVAS_WIDTH, CANVAS_HEIGHT};

    Window() {
        form.RandomSeed = 0;
        form.Form_Load();
    }
    void ClickAt(udtPoint p) {
        const auto x = static_cast<float>(p.X);
        const auto y = static_cast<float>(p.Y);
        form.picMain_MouseDown(1, 0, x, y);
        form.picMain_MouseMove(1, 0, x, y);
        form.picMain_MouseUp(1, 0, x, y);
        form.picMain_Click();
    }
    // The count typed over the box's text, key by key; the box is left for the canvas.
    bool TypeCorners(int n) {
        const std::string digits = std::to_string(n);
        if (form.ctl.txtNumCorners == digits) {
            return true;
        }
        form.ctl.txtNumCorners.clear();
        for (char c : digits) {
            int key = c;
            form.txtNumCorners_KeyPress(key);
            if (key != 0) {
                form.ctl.txtNumCorners += static_cast<char>(key);
            }
        }
        return form.txtNumCorners_LostFocus();
    }
};

bool Near(udtPoint a, udtPoint b, double tolerance) {
    return std::fabs(a.X - b.X) <= tolerance && std::fabs(a.Y - b.Y) <= tolerance;
}

std::string Describe(const PlannedFace& face) {
    static const std::map<int, std::string> names{
        {3, "triangle"}, {4, "square"}, {6, "hexagon"}, {8, "octagon"}, {12, "dodecagon"}};
    const auto name = names.find(face.n);
    char at[64];
    std::snprintf(at, sizeof at, " at %.1f, %.1f", face.centre.X, face.centre.Y);
    return (name != names.end() ? name->second : std::to_string(face.n) + "-gon") + at;
}

// Why the window refused a step, in the tool's words.
std::string Refusal(const HeadlessPlatform& platform) {
    if (platform.lastMessage == MSG_DRAWING_FULL) {
        return "the drawing is full (at most 32767 corners, sides or polygons)";
    }
    if (platform.lastMessage == MSG_SECOND_POINT) {
        return "a side is too short: its two ends are one point";
    }
    if (platform.lastMessage == MSG_FILL_ON_LINE) {
        return "the window takes every click inside the face for a click on a line";
    }
    return "the window said: " + platform.lastMessage;
}

// Lays the plan onto the first side as it was actually clicked: the canvas takes clicks in
// single precision, and every later corner is built from those two.
void Align(Plan& plan) {
    PlannedFace& first = plan.faces.front();
    const udtPoint p1 = first.corners[0], p2 = first.corners[1];
    const udtPoint q1{static_cast<float>(p1.X), static_cast<float>(p1.Y)};
    const udtPoint q2{static_cast<float>(p2.X), static_cast<float>(p2.Y)};
    // z -> q1 + (z - p1) * (q2 - q1) / (p2 - p1), in complex numbers.
    const double dx = p2.X - p1.X, dy = p2.Y - p1.Y, ex = q2.X - q1.X, ey = q2.Y - q1.Y;
    const double d2 = dx * dx + dy * dy;
    const double re = (ex * dx + ey * dy) / d2, im = (ey * dx - ex * dy) / d2;
    const auto map = [&](udtPoint z) {
        const double x = z.X - p1.X, y = z.Y - p1.Y;
        return udtPoint{q1.X + x * re - y * im, q1.Y + x * im + y * re};
    };
    for (PlannedFace& face : plan.faces) {
        face.centre = map(face.centre);
        for (udtPoint& p : face.corners) {
            p = map(p);
        }
    }
    first.corners[0] = q1;
    first.corners[1] = q2;
}

// Where to click to snap to the stored point `target` rather than to one of the others within
// rounding of it: a hundredth of a pixel beyond it, away from them. The canvas's single
// precision moves the click by far less, and the nearest corner is chosen in double.
udtPoint ClickFor(udtPoint target, const std::vector<udtPoint>& stored, double side) {
    double dx = 0, dy = 0;
    for (const udtPoint& p : stored) {
        if (!(p == target)) {
            dx += target.X - p.X;
            dy += target.Y - p.Y;
        }
    }
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) {
        return target;
    }
    const double reach = std::min(0.01, side / 100);
    return {target.X + reach * dx / length, target.Y + reach * dy / length};
}

std::variant<TilingDrawing, TilingFailure> Build(Plan plan, double side, bool colour) {
    Align(plan);
    Window w;
    frmMain& form = w.form;
    // The construction computes each corner anew: where faces meet it may differ in the last
    // bits from the same corner of a neighbour, never by more than this.
    const double tolerance = 1e-4 * side;
    // The stored lines on each side of the plan, and the stored points at each vertex.
    std::unordered_map<long long, std::vector<int>> linesOnSide;
    std::unordered_map<int, std::vector<udtPoint>> pointsAtVertex;
    for (std::size_t f = 0; f < plan.faces.size(); ++f) {
        const PlannedFace& face = plan.faces[f];
        const auto n = static_cast<std::size_t>(face.n);
        const auto sideKey = [&](std::size_t c) {
            return SideKey(face.ids[c], face.ids[(c + 1) % n]);
        };
        const auto k = static_cast<std::size_t>(plan.sideOn[f]);
        udtPoint e1 = face.corners[k], e2 = face.corners[(k + 1) % n];
        udtPoint click1 = e1, click2 = e2;
        const auto stored = linesOnSide.find(sideKey(k));
        if (stored != linesOnSide.end() && !stored->second.empty()) {
            // The ends of the side as its polygon stored it, so that the side is not stored
            // again: a polygon whose every side is stored twice reads as drawn twice, and the
            // file's 15 digits make sides that differ in their last bits the same.
            const udtLine& l = form.arrLines[stored->second.front()];
            const bool same = Near({l.X1, l.Y1}, e1, tolerance);
            e1 = same ? udtPoint{l.X1, l.Y1} : udtPoint{l.X2, l.Y2};
            e2 = same ? udtPoint{l.X2, l.Y2} : udtPoint{l.X1, l.Y1};
            click1 = ClickFor(e1, pointsAtVertex[face.ids[k]], side);
            click2 = ClickFor(e2, pointsAtVertex[face.ids[(k + 1) % n]], side);
        }
        const int linesBefore = form.intLineCount, pointsBefore = form.intPointCount;
        if (!w.TypeCorners(face.n)) {
            return TilingFailure{false, Refusal(w.platform)};
        }
        const int messages = w.platform.messages;
        w.ClickAt(click1);
        const bool snapped1 = Near({form.dblX1, form.dblY1}, e1, tolerance);
        w.ClickAt(click2);
        const bool snapped2 = Near({form.dblX2, form.dblY2}, e2, tolerance);
        w.ClickAt(face.centre);
        if (w.platform.messages != messages) {
            return TilingFailure{false, "polygon " + std::to_string(f + 1) + " (" + Describe(face) +
                                            ") was refused: " + Refusal(w.platform)};
        }
        // What the click stored must be this face: its new sides are sides of it, its new
        // corners corners of it, and every side no built face has drawn is among them.
        bool fits = snapped1 && snapped2 && form.intClickPhase == 3;
        std::vector<std::vector<int>> drawn(n);
        for (int i = linesBefore + 1; i <= form.intLineCount && fits; ++i) {
            const udtLine& l = form.arrLines[i];
            bool matched = false;
            for (std::size_t c = 0; c < n && !matched; ++c) {
                const udtPoint a = face.corners[c], b = face.corners[(c + 1) % n];
                matched = (Near({l.X1, l.Y1}, a, tolerance) && Near({l.X2, l.Y2}, b, tolerance)) ||
                          (Near({l.X1, l.Y1}, b, tolerance) && Near({l.X2, l.Y2}, a, tolerance));
                if (matched) {
                    drawn[c].push_back(i);
                }
            }
            fits = matched;
        }
        std::vector<std::vector<udtPoint>> placed(n);
        for (int i = pointsBefore + 1; i <= form.intPointCount && fits; ++i) {
            const udtPoint p = form.arrPoints[i];
            const auto at = std::find_if(face.corners.begin(), face.corners.end(),
                                         [&](udtPoint c) { return Near(p, c, tolerance); });
            fits = at != face.corners.end();
            if (fits) {
                placed[static_cast<std::size_t>(at - face.corners.begin())].push_back(p);
            }
        }
        for (std::size_t c = 0; c < n && fits; ++c) {
            fits = !drawn[c].empty() || linesOnSide.count(sideKey(c)) > 0;
        }
        if (!fits) {
            return TilingFailure{false, "polygon " + std::to_string(f + 1) + " (" + Describe(face) +
                                            ") came out other than planned (crossed, or on the "
                                            "wrong side)"};
        }
        for (std::size_t c = 0; c < n; ++c) {
            auto& lines = linesOnSide[sideKey(c)];
            lines.insert(lines.end(), drawn[c].begin(), drawn[c].end());
            auto& points = pointsAtVertex[face.ids[c]];
            points.insert(points.end(), placed[c].begin(), placed[c].end());
        }
    }
    if (colour) {
        form.SetFillValue(1);
        int swatch = -1;
        for (std::size_t f = 0; f < plan.faces.size(); ++f) {
            const PlannedFace& face = plan.faces[f];
            if (TilingSwatch(face.n) != swatch) {
                swatch = TilingSwatch(face.n);
                form.picSelColor_Click(swatch);
            }
            const int messages = w.platform.messages;
            const int fills = form.intFillCount;
            // The window takes a click level with a vertical line anywhere, or just beside a
            // line's extension, for a click on it: then a little off the centre, well inside.
            const double off = side / (8 * std::tan(std::numbers::pi / face.n));
            float x = 0, y = 0;
            for (int k = 0; k <= 8; ++k) {
                const double t = std::numbers::pi / 4 * k;
                x = static_cast<float>(face.centre.X + (k == 0 ? 0 : off * std::cos(t)));
                y = static_cast<float>(face.centre.Y + (k == 0 ? 0 : off * std::sin(t)));
                if (!form.IsOnLine(x, y)) {
                    break;
                }
            }
            form.picMain_MouseMove(0, 0, x, y);
            form.picMain_Click();
            if (w.platform.messages != messages || form.intFillCount != fills + 1) {
                return TilingFailure{false, "the fill of polygon " + std::to_string(f + 1) + " (" +
                                                Describe(face) + ") was refused: " +
                                                (w.platform.messages != messages
                                                     ? Refusal(w.platform)
                                                     : "its centre was coloured already")};
            }
        }
        form.SetFillValue(0);
    }
    TilingDrawing drawing;
    drawing.data = CollectProject(form);
    drawing.side = side;
    drawing.polygons = static_cast<int>(plan.faces.size());
    drawing.surrounded = plan.surrounded;
    return drawing;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

std::variant<TilingDrawing, TilingFailure> GenerateTiling(const TilingCell& cell,
                                                          const TilingOptions& options) {
    const int width = CANVAS_WIDTH, height = CANVAS_HEIGHT;
    const udtPoint centre = options.centre.value_or(udtPoint{width / 2.0, height / 2.0});
    if (!std::isfinite(centre.X) || !std::isfinite(centre.Y) || centre.X < 0 || centre.X > width ||
        centre.Y < 0 || centre.Y > height) {
        return TilingFailure{true, "the centre must lie on the canvas (0 to " +
                                       std::to_string(width) + ", 0 to " + std::to_string(height) +
                                       ")"};
    }
    // The cells are built in; a malformed one would make the lattice's range meaningless.
    const bool lattice = std::fabs(cell.ax * cell.by - cell.ay * cell.bx) > 1e-9;
    if (!lattice || cell.faces.empty() ||
        std::any_of(cell.faces.begin(), cell.faces.end(),
                    [](const CellFace& f) { return f.n < 3 || f.n > 50; })) {
        return TilingFailure{false, "the cell of " + cell.name + " is malformed"};
    }
    double side = 0;
    Plan plan;
    if (options.side) {
        side = *options.side;
        if (!std::isfinite(side) || side < 1 || side > std::max(width, height)) {
            return TilingFailure{true, "the side must be a number of pixels from 1 to " +
                                           std::to_string(std::max(width, height))};
        }
        plan = MakePlan(cell, side, centre, width, height);
    } else {
        // The largest side first: small sides cost the most, and the search ends at the first
        // that is enough.
        for (int s = std::min(width, height); s >= 1; --s) {
            plan = MakePlan(cell, s, centre, width, height);
            if (plan.tooMany || plan.surrounded >= TILING_MIN_SURROUNDED) {
                side = s;
                break;
            }
        }
        if (side == 0) {
            return TilingFailure{true, "no side gives " + std::to_string(TILING_MIN_SURROUNDED) +
                                           " corners with polygons all round them"};
        }
    }
    if (plan.tooMany) {
        return TilingFailure{false, "at side " + Number(side) + " more than " +
                                        std::to_string(MAX_ELEMENTS) + " polygons of " + cell.name +
                                        " fit on the canvas: the drawing cannot hold them"};
    }
    if (plan.faces.empty()) {
        return TilingFailure{true, "no polygon of " + cell.name + " with side " + Number(side) +
                                       " fits wholly on the canvas"};
    }
    if (plan.vertices > static_cast<std::size_t>(MAX_ELEMENTS) ||
        plan.sides > static_cast<std::size_t>(MAX_ELEMENTS)) {
        return TilingFailure{false, "at side " + Number(side) + " the drawing would need " +
                                        std::to_string(plan.vertices) + " corners and " +
                                        std::to_string(plan.sides) + " sides; it holds " +
                                        std::to_string(MAX_ELEMENTS) + " of each"};
    }
    auto result = Build(std::move(plan), side, options.colour);
    if (auto* drawing = std::get_if<TilingDrawing>(&result)) {
        drawing->centre = centre;
    }
    return result;
}

} // namespace quillet
