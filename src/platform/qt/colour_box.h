#pragma once
// A small picture box that shows one colour: the palette swatches and the current fill colour.
// A swatch is pressable: a click, Space, Return and a screen reader's Press all pick it.

#include "platform/surface.h"

#include <QFrame>

class QColor;

namespace quillet {

class ColourBox : public QFrame {
    Q_OBJECT

  public:
    explicit ColourBox(QWidget* parent = nullptr);

    Colour colour() const { return colour_; }
    void setColour(Colour colour);

    bool isPressable() const { return pressable_; }
    void setPressable(bool pressable) { pressable_ = pressable; }
    // What a click does, from the keyboard and from assistive technology.
    void click() { emit clicked(); }

  signals:
    // Left button pressed and released over the box, or the box pressed otherwise.
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Colour colour_ = 0xFFFFFFu;
    bool pressed_ = false;
    bool pressable_ = false;
};

// 0x00BBGGRR as the screen colour it stands for.
QColor ToQColor(Colour colour);
Colour FromQColor(const QColor& colour);

} // namespace quillet
