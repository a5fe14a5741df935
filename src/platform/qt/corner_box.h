#pragma once
// The corner-count box: typed characters pass the form's key filter, and leaving the box for
// another control of the window runs the form's check on the text.

#include <QLineEdit>

#include <functional>

namespace quillet {

class CornerBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit CornerBox(QWidget* parent = nullptr);

    // The character code of the key (0 discards it), as the form's KeyPress handler takes it.
    std::function<void(int& keyAscii)> keyFilter;
    // Runs when the focus has moved from the box to another control of the same window.
    std::function<void()> leaveCheck;

    // The character a key press types, as a code; -1 for keys that type nothing.
    static int characterCode(const QKeyEvent& event);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace quillet
