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
#include <ostream>

namespace quillet::tool {

namespace {

constexpr const char* EXPORT_USAGE =
    "Usage: quillet-tool export FILE OUT.svg|OUT.pdf|OUT.png [--scale S] [--points] "
    "[--no-fills]\n"
    "Writes the drawing with its lines (and with --points its corners) as vectors, each fill\n"
    "as the faces it painted, beneath the lines. --scale S multiplies the canvas size of\n"
    "581 x 493 (default 1; a PNG is then S times as many pixels wide). A fill that painted\n"
    "the outside, or only part of a face, is reported and drawn as the pixels it painted.\n"
    "OUT '-' writes an SVG to standard output.\n";

// The largest side of a PNG, so that a typing error in --scale cannot exhaust the memory.
constexpr double MOST_PNG_PIXELS = 20000;

struct Scene {
    int width = analysis::CANVAS_WIDTH;
    int height = analysis::CANVAS_HEIGHT;
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

void PaintScene(QPainter& painter, const Scene& scene, double scale) {
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(0, 0, scene.width, scene.height));
    painter.fillRect(QRectF(0, 0, scene.width, scene.height), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!scene.leftover.isNull()) {
        painter.drawImage(QRectF(0, 0, scene.width, scene.height), scene.leftover);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    for (const auto& [polygon, colour] : scene.faces) {
        painter.setBrush(colour);
        painter.drawPolygon(polygon);
    }
    QPen pen(Qt::black);
    pen.setWidthF(1.0);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawLines(scene.lines.data(), static_cast<int>(scene.lines.size()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 255, 0));
    for (const QPointF& corner : scene.corners) {
        painter.drawEllipse(corner, 2.0, 2.0);
    }
}

QByteArray Svg(const Scene& scene, double scale) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(static_cast<int>(std::ceil(scene.width * scale)),
                      static_cast<int>(std::ceil(scene.height * scale))));
    svg.setViewBox(QRectF(0, 0, scene.width * scale, scene.height * scale));
    svg.setTitle(QStringLiteral("Quillet drawing"));
    QPainter painter(&svg);
    PaintScene(painter, scene, scale);
    painter.end();
    return bytes;
}

QByteArray Pdf(const Scene& scene, double scale) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(72); // one canvas pixel at scale 1 is one point
    pdf.setPageSize(QPageSize(QSizeF(scene.width * scale, scene.height * scale), QPageSize::Point,
                              QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(QStringLiteral("Quillet drawing"));
    QPainter painter(&pdf);
    PaintScene(painter, scene, scale);
    painter.end();
    return bytes;
}

QByteArray Png(const Scene& scene, double scale) {
    QImage image(static_cast<int>(std::ceil(scene.width * scale)),
                 static_cast<int>(std::ceil(scene.height * scale)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintScene(painter, scene, scale);
    painter.end();
    return EncodeImage(image, "png");
}

// Builds the scene; warnings about fills the faces cannot account for go to io.err.
Scene BuildScene(const LoadedDrawing& drawing, bool points, bool fills, Io io) {
    Scene scene;
    const ProjectData data = CollectProject(drawing.state);
    for (const udtLine& l : data.lines) {
        scene.lines.emplace_back(l.X1, l.Y1, l.X2, l.Y2);
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

bool ParseScale(const std::string& text, double& scale) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, scale);
    return ec == std::errc() && ptr == end && std::isfinite(scale) && scale > 0 && scale <= 1000;
}

} // namespace

int RunExport(const std::vector<std::string>& args, Io io) {
    std::vector<std::string> files;
    bool points = false;
    bool fills = true;
    double scale = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            io.out << EXPORT_USAGE;
            return EXIT_OK;
        }
        if (arg == "--points") {
            points = true;
        } else if (arg == "--no-fills") {
            fills = false;
        } else if (arg == "--scale") {
            if (i + 1 == args.size() || !ParseScale(args[i + 1], scale)) {
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
    const Scene scene = BuildScene(*drawing, points, fills, io);
    const QByteArray bytes = ending == ".pdf"   ? Pdf(scene, scale)
                             : ending == ".png" ? Png(scene, scale)
                                                : Svg(scene, scale);
    return WriteOutput(out, bytes, "export", io);
}

} // namespace quillet::tool
