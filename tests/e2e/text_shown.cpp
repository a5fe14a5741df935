// Tells whether a text is shown inside a rectangle of a screenshot, drawn as the toolkit draws
// a label on this display: the same font engine, hinting and colours give the same pixels,
// so the glyphs are looked for exactly. Prints where they were found.
//
// text_shown SCREEN.png X Y WIDTH HEIGHT TEXT [--disabled] [--any-size]
//   --disabled   in the colour of a disabled control's text
//   --any-size   at any pixel size from the standard one down (a window may shrink its font
//                to fit its captions), upright or semi-condensed
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The text as a label draws it, cut to the rectangle its glyphs cover.
QImage Glyphs(const QString& text, const QFont& font, bool disabled) {
    QLabel label(text);
    label.setTextFormat(Qt::PlainText);
    label.setFont(font);
    label.setEnabled(!disabled);
    label.resize(label.sizeHint());
    QImage image(label.size(), QImage::Format_RGB32);
    const QRgb background = label.palette().color(QPalette::Window).rgb();
    image.fill(background);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    int left = image.width();
    int top = image.height();
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QImage() : image.copy(left, top, right - left + 1, bottom - top + 1);
}

std::optional<QPoint> Find(const QImage& screen, const QRect& area, const QImage& glyphs) {
    for (int y = area.top(); y + glyphs.height() <= area.bottom() + 1; ++y) {
        for (int x = area.left(); x + glyphs.width() <= area.right() + 1; ++x) {
            bool same = true;
            for (int j = 0; same && j < glyphs.height(); ++j) {
                const auto* s = reinterpret_cast<const QRgb*>(screen.constScanLine(y + j)) + x;
                const auto* g = reinterpret_cast<const QRgb*>(glyphs.constScanLine(j));
                for (int i = 0; i < glyphs.width(); ++i) {
                    if ((s[i] & 0xFFFFFFu) != (g[i] & 0xFFFFFFu)) {
                        same = false;
                        break;
                    }
                }
            }
            if (same) {
                return QPoint(x, y);
            }
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 7) {
        std::fprintf(stderr, "usage: text_shown SCREEN X Y WIDTH HEIGHT TEXT [--disabled] "
                             "[--any-size]\n");
        return 2;
    }
    const QImage screen = QImage(args[1]).convertToFormat(QImage::Format_RGB32);
    if (screen.isNull()) {
        std::fprintf(stderr, "text_shown: cannot read %s\n", qPrintable(args[1]));
        return 2;
    }
    const QRect area =
        QRect(args[2].toInt(), args[3].toInt(), args[4].toInt(), args[5].toInt()) & screen.rect();
    const QString& text = args[6];
    const bool disabled = args.contains(QStringLiteral("--disabled"));
    const bool anySize = args.contains(QStringLiteral("--any-size"));

    const QFont standard = QApplication::font();
    std::vector<QFont> fonts{standard};
    if (anySize) {
        for (int size = QFontInfo(standard).pixelSize(); size >= 6; --size) {
            for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
                QFont font = standard;
                font.setPixelSize(size);
                font.setStretch(stretch);
                fonts.push_back(font);
            }
        }
    }
    for (const QFont& font : fonts) {
        const QImage glyphs = Glyphs(text, font, disabled);
        if (glyphs.isNull()) {
            continue;
        }
        if (const std::optional<QPoint> at = Find(screen, area, glyphs)) {
            std::printf("%d %d\n", at->x(), at->y());
            return 0;
        }
    }
    return 1;
}
