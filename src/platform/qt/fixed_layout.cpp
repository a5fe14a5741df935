#include "platform/qt/fixed_layout.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

// The icons are compiled into this static library, whose resource initialiser no linker keeps
// on its own; Q_INIT_RESOURCE must name it from the global namespace.
static void InitResources() {
    Q_INIT_RESOURCE(quillet);
}

namespace quillet {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect PixelGeometry(const ControlLayout& layout) {
    return {TwipsToPixels(layout.Left), TwipsToPixels(layout.Top), TwipsToPixels(layout.Width),
            TwipsToPixels(layout.Height)};
}

QIcon AppIcon() {
    // Decoding the PNGs is a fair part of the start-up, and the application, the main window
    // and every help window ask for the icon: it is read once and shared. It holds pixmaps,
    // so it goes with the application.
    static QIcon icon;
    if (!icon.isNull()) {
        return icon;
    }
    InitResources();
    // The PNGs that are installed into the hicolor theme, so the window shows what the menus do.
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(QStringLiteral(":/icons/quillet-%1.png").arg(size), "png");
        // Known to be PNG: no image format plugin needs to be loaded and asked what it is.
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    qAddPostRoutine([] { icon = QIcon(); });
    return icon;
}

namespace {

bool CaptionsFit(const QWidget* client) {
    const auto children = client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    // Buttons first: a line of text is measured far faster than a wrapped label, and a font
    // too large for the window mostly fails on a button already.
    const bool buttonsFit = std::all_of(children.begin(), children.end(), [](const QWidget* c) {
        if (qobject_cast<const QAbstractButton*>(c) == nullptr) {
            return true;
        }
        const QSize needed = c->sizeHint();
        return needed.width() <= c->width() && needed.height() <= c->height();
    });
    return buttonsFit && std::all_of(children.begin(), children.end(), [](const QWidget* c) {
               const auto* label = qobject_cast<const QLabel*>(c);
               return label == nullptr || label->heightForWidth(label->width()) <= label->height();
           });
}

} // namespace

void FitFontToControls(QWidget* client) {
    constexpr int SMALLEST_PIXEL_SIZE = 9;
    const QFont platformFont = client->font();
    const int largest = QFontInfo(platformFont).pixelSize();
    for (int size = largest; size >= SMALLEST_PIXEL_SIZE; --size) {
        // Rather a narrower face than a smaller one.
        for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            QFont font = platformFont;
            font.setPixelSize(size);
            font.setStretch(stretch);
            client->setFont(font);
            if (CaptionsFit(client)) {
                return;
            }
        }
    }
}

} // namespace quillet
