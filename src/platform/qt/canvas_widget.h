#pragma once
// The drawing canvas on screen: a sunken frame whose inner area shows the form's canvas
// surface pixel for pixel, and which reports the mouse in canvas pixels.

#include <QFrame>
#include <QImage>
#include <QSize>

#include <vector>

class QPainter;

namespace quillet {

class Surface;

class CanvasWidget : public QFrame {
    Q_OBJECT

  public:
    explicit CanvasWidget(QWidget* parent = nullptr);

    // The image shown; the widget keeps no pixels of its own.
    void setSurface(const Surface* surface);
    // Size of the inner area, which the canvas surface must have.
    QSize innerSize() const { return contentsRect().size(); }

    // Mouse buttons and shift keys in the form's numbering: Button 1 left, 2 right, 4 middle;
    // Shift 1 Shift, 2 Ctrl, 4 Alt.
    static int buttonCode(Qt::MouseButtons buttons);
    static int shiftCode(Qt::KeyboardModifiers modifiers);

  signals:
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    // The left button was released over the canvas after being pressed on it.
    void click();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // The canvas where `exposed` meets it, unscaled.
    void paintExposed(QPainter& painter, const QRect& exposed);
    // The whole canvas through the painter's scaling, for turned and mirrored painters.
    void paintWhole(QPainter& painter);
    // The whole canvas scaled here, device pixel by device pixel, as the mouse maps them.
    void paintScaled(QPainter& painter);
    void convertWhole();
    QPointF canvasPosition(const QMouseEvent& event) const;
    bool onCanvas(const QPointF& p) const;

    const Surface* surface_ = nullptr;
    // Kept between paints so that a paint allocates nothing: a few rows of the canvas in the
    // screen's format, and for scaled screens only the whole canvas, unscaled and scaled, and
    // the canvas column and row each device column and row shows.
    QImage strip_;
    QImage whole_;
    QImage scaled_;
    std::vector<int> columnOf_;
    std::vector<int> rowOf_;
    Qt::MouseButtons pressed_;
};

} // namespace quillet
