// quillet-tool export: the drawing as vectors at any size. Each fill is drawn as the faces
// its replay painted, decided on the window's own canvas, so the export agrees with what the
// window shows; what the faces cannot account for is drawn as the pixels it painted.

#include "analysis/analysis.h"
#include "platform/qtgui/file_output.h"
#include "project/numbers.h"
#include "project/project_file.h"
#include "tool/output.h"
#include "tool/tool.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>

namespace quillet::tool {

namespace {

constexpr const char* EXPORT_USAGE =
    "Usage: quillet-tool export FILE OUT.svg|OUT.pdf|OUT.png [--scale S] [--points] "
    "[--no-fills]\n"
    "       quillet-tool export FILE OUT.svg|OUT.pdf --page A4|A3|Letter [--margin MM]\n"
    "                           [--no-points] [--no-fills]\n"
    "Writes the drawing with its lines (and with --points its corners) as vectors, each fill\n"
    "as the faces it painted, beneath the lines. --scale S multiplies the canvas size of\n"
    "581 x 493 (default 1; a PNG is then S times as many pixels wide). A fill that painted\n"
    "the outside, or only part of a face, is reported and drawn as the pixels it painted.\n"
    "With --page, the drawing (the box round its lines and corners, not the whole canvas) is\n"
    "scaled to fill the portrait page inside the margins (default 15 mm) and centred, with\n"
    "its corners unless --no-points. OUT '-' writes an SVG to standard output.\n";

// The pages, by Qt's ids; always upright.
struct Page {
    const char* name;
    QPageSize::PageSizeId id;
};
constexpr Page PAGES[] = {
    {"A4", QPageSize::A4}, {"A3", QPageSize::A3}, {"Letter", QPageSize::Letter}};

// The widest margin: enough to leave a visible drawing on the smallest page.
constexpr double MOST_MARGIN_MM = 100;

// The largest side of a PNG, so that a typing error in --scale cannot exhaust the memory.
constexpr double MOST_PNG_PIXELS = 20000;

constexpr double CORNER_RADIUS = 2.0;

struct Scene {
    int width = analysis::CANVAS_WIDTH;
    int height = analysis::CANVAS_HEIGHT;
    // The box round the lines and corners on the canvas; none when there are none.
    std::optional<QRectF> drawn;
    std::vector<std::pair<QPolygonF, QColor>> faces;
    QImage leftover; // painted pixels no face accounts for; transparent elsewhere
    std::vector<QLineF> lines;
    std::vector<QPointF> corners;
};

QColor ToQColor(Colour c) {
    return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu),
                  static_cast<int>((c >> 16) & 0xFFu));
}

std::string Hex(Colour c) {
    return ToQColor(c).name().toStdString();
}

// Which part of the canvas goes where on the output: `source` scaled by `scale`, its top left
// corner at `at`. With `cut`, what lies outside `source` is cut off before it is drawn: an SVG
// keeps no clip, and a page has margins to keep clear.
struct View {
    QRectF source;
    double scale = 1;
    QPointF at;
    bool cut = false;
};

// The part of the line inside the box (Liang and Barsky); none when it misses the box.
std::optional<QLineF> Cut(const QLineF& line, const QRectF& box) {
    const double dx = line.dx(), dy = line.dy();
    double from = 0, to = 1;
    const auto edge = [&](double p, double q) { // p t <= q
        if (p == 0) {
            return q >= 0;
        }
        const double t = q / p;
        if (p < 0) {
            from = std::max(from, t);
        } else {
            to = std::min(to, t);
        }
        return from <= to;
    };
    if (!(edge(-dx, line.x1() - box.left()) && edge(dx, box.right() - line.x1()) &&
          edge(-dy, line.y1() - box.top()) && edge(dy, box.bottom() - line.y1()))) {
        return std::nullopt;
    }
    return QLineF(line.pointAt(from), line.pointAt(to));
}

View WholeCanvas(const Scene& scene, double scale) {
    return {QRectF(0, 0, scene.width, scene.height), scale, QPointF(0, 0)};
}

void PaintScene(QPainter& painter, const Scene& scene, const View& view) {
    painter.translate(view.at);
    painter.scale(view.scale, view.scale);
    painter.translate(-view.source.topLeft());
    painter.setClipRect(view.source);
    painter.fillRect(view.source, Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!scene.leftover.isNull()) {
        // Only the pixels shown: a page's source has whole-pixel edges.
        const QRect shown =
            view.source.intersected(QRectF(0, 0, scene.width, scene.height)).toAlignedRect();
        painter.drawImage(QRectF(shown), scene.leftover.copy(shown));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    // What the window shows of it: the canvas.
    const QRectF canvas(0, 0, scene.width, scene.height);
    const QRectF shownBox = view.source.intersected(canvas);
    const QPolygonF sourceBox(shownBox);
    for (const auto& [polygon, colour] : scene.faces) {
        painter.setBrush(colour);
        painter.drawPolygon(view.cut ? polygon.intersected(sourceBox) : polygon);
    }
    QPen pen(Qt::black);
    pen.setWidthF(1.0);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (view.cut) {
        for (const QLineF& line : scene.lines) {
            if (const std::optional<QLineF> part = Cut(line, shownBox)) {
                painter.drawLine(*part);
            }
        }
    } else {
        painter.drawLines(scene.lines.data(), static_cast<int>(scene.lines.size()));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 255, 0));
    // A page's source holds every dot of a corner on the canvas whole.
    for (const QPointF& corner : scene.corners) {
        if (!view.cut || canvas.contains(corner)) {
            painter.drawEllipse(corner, CORNER_RADIUS, CORNER_RADIUS);
        }
    }
}

// The drawing's box scaled to fit the page inside the margins, and centred.
View OnPage(const Scene& scene, QSizeF page, double margin) {
    // Half a line's width and the corners' dots stick out of the box of the coordinates.
    const double grow = scene.corners.empty() ? 0.5 : CORNER_RADIUS;
    QRectF box = scene.drawn.value_or(QRectF(0, 0, scene.width, scene.height));
    // Whole pixels, so that the fills' pixels keep their places.
    box = QRectF(QPointF(std::floor(box.left() - grow), std::floor(box.top() - grow)),
                 QPointF(std::ceil(box.right() + grow), std::ceil(box.bottom() + grow)));
    const double scale = std::min((page.width() - 2 * margin) / box.width(),
                                  (page.height() - 2 * margin) / box.height());
    const QPointF at((page.width() - box.width() * scale) / 2,
                     (page.height() - box.height() * scale) / 2);
    return {box, scale, at, true};
}

// `page`: the page; none for the canvas at `view`'s scale.
QByteArray Svg(const Scene& scene, const View& view, std::optional<QPageSize> page = {}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    if (page) {
        // Qt writes the size in millimetres as the size over the resolution, and the view box
        // in whole units: a hundredth of a millimetre a unit keeps the page's exact size.
        svg.setResolution(2540);
        const QSizeF mm = page->size(QPageSize::Millimeter);
        const QSize units(static_cast<int>(std::lround(mm.width() * 100)),
                          static_cast<int>(std::lround(mm.height() * 100)));
        svg.setSize(units);
        svg.setViewBox(QRect(QPoint(0, 0), units));
    } else {
        const QSizeF size = view.source.size() * view.scale;
        svg.setSize(QSize(static_cast<int>(std::ceil(size.width())),
                          static_cast<int>(std::ceil(size.height()))));
        svg.setViewBox(QRectF(QPointF(0, 0), size));
    }
    svg.setTitle(QStringLiteral("Quillet drawing"));
    QPainter painter(&svg);
    if (page) {
        painter.scale(2540 / 72.0, 2540 / 72.0); // the view is in points
    }
    PaintScene(painter, scene, view);
    painter.end();
    return bytes;
}

QByteArray Pdf(const Scene& scene, const View& view, const QPageSize& page) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(72); // one unit of the painter is one point
    pdf.setPageSize(page);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(QStringLiteral("Quillet drawing"));
    QPainter painter(&pdf);
    PaintScene(painter, scene, view);
    painter.end();
    return bytes;
}

QByteArray Png(const Scene& scene, const View& view) {
    QImage image(static_cast<int>(std::ceil(view.source.width() * view.scale)),
                 static_cast<int>(std::ceil(view.source.height() * view.scale)),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintScene(painter, scene, view);
    painter.end();
    return EncodeImage(image, "png");
}

// Builds the scene; warnings about fills the faces cannot account for go to io.err.
Scene BuildScene(const LoadedDrawing& drawing, bool points, bool fills, Io io) {
    Scene scene;
    const ProjectData data = CollectProject(drawing.state);
    // Only the canvas is ever seen in the window: what lies beyond it does not count. (Qt's
    // rectangles drop the lines and points that have no area, so the box is kept by hand.)
    const QRectF seenBox(0, 0, scene.width, scene.height);
    double left = scene.width, top = scene.height, right = 0, bottom = 0;
    const auto take = [&](QPointF p) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    };
    for (const udtLine& l : data.lines) {
        scene.lines.emplace_back(l.X1, l.Y1, l.X2, l.Y2);
        if (const std::optional<QLineF> seen = Cut(scene.lines.back(), seenBox)) {
            take(seen->p1());
            take(seen->p2());
        }
    }
    for (const udtPoint& p : data.points) {
        if (seenBox.contains(QPointF(p.X, p.Y))) {
            take(QPointF(p.X, p.Y));
        }
    }
    if (left <= right && top <= bottom) {
        scene.drawn = QRectF(left, top, right - left, bottom - top);
    }
    if (points) {
        for (const udtPoint& p : data.points) {
            scene.corners.emplace_back(p.X, p.Y);
        }
    }
    if (!fills || data.fills.empty()) {
        return scene;
    }

    const analysis::Analysis found = analysis::Analyse(data);
    if (!found.refused.empty()) {
        io.err << "quillet-tool export: warning: the faces were not found, the drawing "
               << found.refused << "; the fills are drawn as pixels.\n";
    }
    const int w = scene.width;
    const int h = scene.height;
    const auto at = [w](int x, int y) { return static_cast<std::size_t>(y) * w + x; };
    // The face under each pixel; a pixel is inside its face when its whole neighbourhood is.
    std::vector<int> face(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            face[at(x, y)] =
                analysis::FaceAt(found, {static_cast<double>(x), static_cast<double>(y)});
        }
    }
    const auto inside = [&](int x, int y) {
        const int f = face[at(x, y)];
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h || face[at(nx, ny)] != f) {
                    return false;
                }
            }
        }
        return f >= 0;
    };

    // A face is filled when a fill painted all of its inside, in one colour at the end.
    const std::vector<Colour>& canvas = drawing.canvas.Pixels();
    struct Tally {
        long inside = 0, painted = 0;
        Colour colour = 0;
        bool oneColour = true;
    };
    std::vector<Tally> tally(found.faces.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            Tally& t = tally[static_cast<std::size_t>(face[at(x, y)])];
            ++t.inside;
            if (drawing.painters[at(x, y)] > 0) {
                const Colour c = canvas[at(x, y)];
                t.oneColour = t.oneColour && (t.painted == 0 || c == t.colour);
                t.colour = c;
                ++t.painted;
            }
        }
    }
    std::vector<bool> filled(found.faces.size(), false);
    for (std::size_t f = 0; f < found.faces.size(); ++f) {
        const Tally& t = tally[f];
        if (t.inside > 0 && t.painted == t.inside && t.oneColour) {
            filled[f] = true;
            QPolygonF polygon;
            for (const udtPoint& c : found.faces[f].corners) {
                polygon << QPointF(c.X, c.Y);
            }
            scene.faces.emplace_back(polygon, ToQColor(t.colour));
        }
    }

    // Painted pixels that no filled face of their colour covers or borders are drawn as they
    // are; each fill that painted such pixels is named.
    scene.leftover = QImage(w, h, QImage::Format_ARGB32);
    scene.leftover.fill(Qt::transparent);
    std::vector<long> outside(data.fills.size() + 1, 0), partly(data.fills.size() + 1, 0);
    bool any = false;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int fill = drawing.painters[at(x, y)];
            if (fill == 0) {
                continue;
            }
            bool covered = false;
            for (int dy = -1; dy <= 1 && !covered; ++dy) {
                for (int dx = -1; dx <= 1 && !covered; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h) {
                        const int f = face[at(nx, ny)];
                        covered = f >= 0 && filled[static_cast<std::size_t>(f)] &&
                                  canvas[at(nx, ny)] == canvas[at(x, y)];
                    }
                }
            }
            if (covered) {
                continue;
            }
            any = true;
            scene.leftover.setPixelColor(x, y, ToQColor(canvas[at(x, y)]));
            (face[at(x, y)] < 0 ? outside : partly)[static_cast<std::size_t>(fill)]++;
        }
    }
    if (!any) {
        scene.leftover = QImage();
    }
    for (std::size_t i = 1; i <= data.fills.size(); ++i) {
        const udtFill& f = data.fills[i - 1];
        const std::string what =
            "fill " + std::to_string(i) + " (" + Hex(static_cast<Colour>(f.Color) & COLOUR_MASK) +
            " at " + FormatGeneralNumber(f.X, '.') + ";" + FormatGeneralNumber(f.Y, '.') + ")";
        if (outside[i] > 0) {
            io.err << "quillet-tool export: warning: " << what << " painted " << outside[i]
                   << " pixels outside the drawing's faces; they are drawn as pixels.\n";
        }
        if (partly[i] > 0) {
            io.err << "quillet-tool export: warning: " << what << " painted only part of a face ("
                   << partly[i] << " pixels); they are drawn as pixels.\n";
        }
    }
    return scene;
}

// A finite number from `least` to `most`, the whole text.
bool ParseNumber(const std::string& text, double least, double most, double& value) {
    const char* end = text.data() + text.size();
    double read = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), end, read);
    if (ec != std::errc() || ptr != end || !std::isfinite(read) || read < least || read > most) {
        return false;
    }
    value = read;
    return true;
}

} // namespace

int RunExport(const std::vector<std::string>& args, Io io) {
    std::vector<std::string> files;
    bool points = false;
    bool noPoints = false;
    bool fills = true;
    double scale = 1;
    bool scaled = false;
    const Page* page = nullptr;
    double marginMm = 15;
    bool margined = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            io.out << EXPORT_USAGE;
            return EXIT_OK;
        }
        if (arg == "--points") {
            points = true;
        } else if (arg == "--no-points") {
            noPoints = true;
        } else if (arg == "--page") {
            page = nullptr;
            for (const Page& known : PAGES) {
                if (i + 1 < args.size() && args[i + 1] == known.name) {
                    page = &known;
                }
            }
            if (page == nullptr) {
                io.err << "quillet-tool export: --page needs A4, A3 or Letter.\n";
                return EXIT_USAGE;
            }
            ++i;
        } else if (arg == "--margin") {
            if (i + 1 == args.size() || !ParseNumber(args[i + 1], 0, MOST_MARGIN_MM, marginMm)) {
                io.err << "quillet-tool export: --margin needs millimetres from 0 to "
                       << MOST_MARGIN_MM << ".\n";
                return EXIT_USAGE;
            }
            margined = true;
            ++i;
        } else if (arg == "--no-fills") {
            fills = false;
        } else if (arg == "--scale") {
            scaled = true;
            if (i + 1 == args.size() || !ParseNumber(args[i + 1], 0, 1000, scale) || scale == 0) {
                io.err << "quillet-tool export: --scale needs a number above 0 and at most "
                          "1000.\n";
                return EXIT_USAGE;
            }
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            io.err << "quillet-tool export: unknown option '" << arg << "'.\n" << EXPORT_USAGE;
            return EXIT_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        io.err << "quillet-tool export: give one drawing and one output file.\n" << EXPORT_USAGE;
        return EXIT_USAGE;
    }
    const std::string& out = files[1];
    const std::string ending = LowerEnding(out);
    if (out != "-" && ending != ".svg" && ending != ".pdf" && ending != ".png") {
        io.err << "quillet-tool export: '" << out << "' must end in .svg, .pdf or .png.\n";
        return EXIT_USAGE;
    }
    if (page != nullptr && (ending == ".png" || scaled)) {
        io.err << "quillet-tool export: --page makes a page of an SVG or PDF; it does not go "
                  "with a PNG or --scale.\n";
        return EXIT_USAGE;
    }
    if (margined && page == nullptr) {
        io.err << "quillet-tool export: --margin is the margin of a page; give --page too.\n";
        return EXIT_USAGE;
    }
    if (points && noPoints) {
        io.err << "quillet-tool export: --points and --no-points contradict each other.\n";
        return EXIT_USAGE;
    }
    if (ending == ".png" &&
        std::max(analysis::CANVAS_WIDTH, analysis::CANVAS_HEIGHT) * scale > MOST_PNG_PIXELS) {
        io.err << "quillet-tool export: a PNG at scale " << scale << " would be wider than "
               << MOST_PNG_PIXELS << " pixels; use SVG or PDF for that size.\n";
        return EXIT_USAGE;
    }

    std::string error;
    const std::unique_ptr<LoadedDrawing> drawing = LoadDrawing(files[0], error, true);
    if (!drawing) {
        io.err << "quillet-tool export: " << error << "\n";
        return EXIT_FAILED;
    }
    // A page is a worksheet: its corners show where the next polygon snaps.
    const bool withPoints = page != nullptr ? !noPoints : points;
    const Scene scene = BuildScene(*drawing, withPoints, fills, io);
    QByteArray bytes;
    if (page != nullptr) {
        const QPageSize size(page->id);
        // Qt's PDF page is in whole points; an SVG's keeps the page's exact size.
        const QSizeF paper = ending == ".pdf" ? QSizeF(size.size(QPageSize::Point))
                                              : size.size(QPageSize::Millimeter) * (72 / 25.4);
        const View view = OnPage(scene, paper, marginMm * 72 / 25.4);
        bytes = ending == ".pdf" ? Pdf(scene, view, size) : Svg(scene, view, size);
    } else {
        const View view = WholeCanvas(scene, scale);
        const QPageSize size(view.source.size() * scale, QPageSize::Point, QString(),
                             QPageSize::ExactMatch);
        bytes = ending == ".pdf"   ? Pdf(scene, view, size)
                : ending == ".png" ? Png(scene, view)
                                   : Svg(scene, view);
    }
    return WriteOutput(out, bytes, "export", io);
}

} // namespace quillet::tool
