#include "platform/qt/accessibility.h"

#include "app/controls.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/colour_box.h"
#include "platform/qt/fixed_layout.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace quillet {

namespace {

class ColourBoxAccessible : public QAccessibleWidget {
  public:
    explicit ColourBoxAccessible(ColourBox* box) : QAccessibleWidget(box) {}

    QAccessible::Role role() const override {
        return box()->isPressable() ? QAccessible::Button : QAccessible::Graphic;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (box()->isPressable()) {
            names.prepend(pressAction());
        }
        return names;
    }
    void doAction(const QString& action) override {
        if (action == pressAction() && box()->isPressable()) {
            box()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        if (action == pressAction() && box()->isPressable()) {
            return {QStringLiteral("Space"), QStringLiteral("Return")};
        }
        return QAccessibleWidget::keyBindingsForAction(action);
    }

  private:
    ColourBox* box() const { return static_cast<ColourBox*>(widget()); }
};

QAccessibleInterface* InterfaceFor(const QString& className, QObject* object) {
    // Qt asks with each class name of the object in turn, the most derived first.
    if (className == QLatin1String(ColourBox::staticMetaObject.className())) {
        return new ColourBoxAccessible(static_cast<ColourBox*>(object));
    }
    if (className == QLatin1String(CanvasWidget::staticMetaObject.className())) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Canvas);
    }
    return nullptr;
}

QString ColourValue(Colour colour) {
    return QStringLiteral("RGB %1, %2, %3")
        .arg(colour & 0xFFu)
        .arg((colour >> 8) & 0xFFu)
        .arg((colour >> 16) & 0xFFu);
}

} // namespace

void InstallAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(InterfaceFor);
        return true;
    }();
    (void)installed;
}

QString SwatchAccessibleName(int index, Colour colour) {
    QString name = ToQString(PALETTE_COLOUR_NAMES.at(static_cast<std::size_t>(index)));
    name[0] = name[0].toUpper();
    return name + QStringLiteral(", ") + ColourValue(colour);
}

QString CurrentColourAccessibleName(Colour colour, std::span<const Colour> palette) {
    std::size_t named = CUSTOM_SWATCH;
    for (std::size_t i = 0; i < CUSTOM_SWATCH && i < palette.size(); ++i) {
        if (palette[i] == colour) {
            named = i;
            break;
        }
    }
    return ToQString(CURRENT_COLOUR_ACCESSIBLE_NAME) + QStringLiteral(": ") +
           ToQString(PALETTE_COLOUR_NAMES[named]) + QStringLiteral(", ") + ColourValue(colour);
}

void PaintFocusFrame(QFrame& frame) {
    if (!frame.hasFocus()) {
        return;
    }
    QPainter painter(&frame);
    painter.setClipRegion(QRegion(frame.rect()).subtracted(frame.contentsRect()));
    painter.fillRect(frame.rect(), frame.palette().color(QPalette::Highlight));
}

} // namespace quillet
