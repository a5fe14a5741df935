#include "platform/qt/fixed_layout.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <future>
#include <utility>

// The icons are compiled into this static library, whose resource initialiser no linker keeps
// on its own; Q_INIT_RESOURCE must name it from the global namespace.
static void InitResources() {
    Q_INIT_RESOURCE(quillet);
}

namespace quillet {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

SizeHold SizeHoldFor(QStringView platformName) {
    // Qt names its Wayland plugins "wayland", "wayland-egl", "wayland-generic", ...
    return platformName.startsWith(u"wayland") ? SizeHold::AtLeast : SizeHold::Fixed;
}

SizeHold CurrentSizeHold() {
    return SizeHoldFor(QGuiApplication::platformName());
}

void HoldWindowSize(QWidget& window, QSize size, SizeHold hold) {
    if (hold == SizeHold::Fixed) {
        window.setFixedSize(size);
        return;
    }
    window.setMinimumSize(size);
    window.resize(size);
}

QRect PixelGeometry(const ControlLayout& layout) {
    return {TwipsToPixels(layout.Left), TwipsToPixels(layout.Top), TwipsToPixels(layout.Width),
            TwipsToPixels(layout.Height)};
}

namespace {

// The PNGs that are installed into the hicolor theme, so the window shows what the menus do.
constexpr int ICON_SIZES[] = {16, 24, 32, 48, 64, 128, 256};

std::shared_future<std::vector<QImage>>& IconImages() {
    static std::shared_future<std::vector<QImage>> images;
    return images;
}

// The icon's sizes are known without decoding a PNG; its pixmaps are made when they are first
// asked for, from images that may have been read on another thread meanwhile.
class AppIconEngine : public QIconEngine {
  public:
    explicit AppIconEngine(std::shared_future<std::vector<QImage>> images)
        : images_(std::move(images)) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        QList<QSize> sizes;
        if (mode == QIcon::Normal && state == QIcon::Off) {
            for (const int size : ICON_SIZES) {
                sizes.append(QSize(size, size));
            }
        }
        return sizes;
    }
    QIconEngine* clone() const override { return new AppIconEngine(*this); }
    QString key() const override { return QStringLiteral("QuilletAppIconEngine"); }

  private:
    QIcon& icon() {
        if (images_.valid()) {
            for (const QImage& image : images_.get()) {
                icon_.addPixmap(QPixmap::fromImage(image));
            }
            images_ = {}; // the pixmaps hold the pixels now
        }
        return icon_;
    }

    std::shared_future<std::vector<QImage>> images_;
    QIcon icon_;
};

} // namespace

std::vector<QImage> ReadAppIconImages() {
    InitResources();
    std::vector<QImage> images;
    for (const int size : ICON_SIZES) {
        QImageReader reader(QStringLiteral(":/icons/quillet-%1.png").arg(size), "png");
        // Known to be PNG: no image format plugin needs to be loaded and asked what it is.
        reader.setAutoDetectImageFormat(false);
        images.push_back(reader.read());
    }
    return images;
}

QIcon AppIcon() {
    // The application, the main window and every help window ask for the icon: its pixmaps
    // are made once and shared, and go with the application.
    static QIcon icon;
    if (!icon.isNull()) {
        return icon;
    }
    if (!IconImages().valid()) {
        IconImages() = std::async(std::launch::deferred, ReadAppIconImages).share();
    }
    icon = QIcon(new AppIconEngine(std::move(IconImages())));
    IconImages() = {};
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
