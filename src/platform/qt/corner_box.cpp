#include "platform/qt/corner_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include <limits>

namespace quillet {

CornerBox::CornerBox(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(std::numeric_limits<int>::max());
    // An input method would hand over its text without key presses, past the key filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // A drop would bypass the key filter just like a paste, but without the user asking to.
    setAcceptDrops(false);
}

int CornerBox::characterCode(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & (Qt::AltModifier | Qt::MetaModifier);
    // Ctrl+letter types a control character (Ctrl+C is 3) whatever text the platform reports.
    if (ctrl && !alt && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z) {
        return event.key() - Qt::Key_A + 1;
    }
    const QString text = event.text();
    // Alt combinations are commands, but Ctrl+Alt is AltGr on some systems and types.
    if (text.isEmpty() || (alt && !ctrl)) {
        return -1;
    }
    return text.at(0).unicode();
}

bool CornerBox::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // The line edit claims Ctrl+Z, Ctrl+A and the like for itself; the window's menu
        // shortcuts must win. Keys no shortcut takes still arrive as key presses below.
        const auto* key = static_cast<QKeyEvent*>(e);
        if (characterCode(*key) >= 0 && (key->modifiers() & Qt::ControlModifier)) {
            e->ignore();
            return true;
        }
    }
    return QLineEdit::event(e);
}

void CornerBox::keyPressEvent(QKeyEvent* e) {
    const int code = characterCode(*e);
    if (code < 0) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    int keyAscii = code;
    if (keyFilter) {
        keyFilter(keyAscii);
    }
    e->accept();
    // The character is typed here rather than by the line edit, which ignores control
    // characters: Ctrl+H is a Backspace as much as the Backspace key is.
    if (keyAscii == 8) {
        backspace();
    } else if (keyAscii >= 32 && keyAscii != 127) {
        insert(QString(QChar(keyAscii)));
    }
}

void CornerBox::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    switch (e->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        break;
    default:
        // A menu or another window took the focus: the box has not been left.
        return;
    }
    const QWidget* next = QApplication::focusWidget();
    if (next == nullptr || next == this || next->window() != window() || !window()->isVisible()) {
        return;
    }
    if (leaveCheck) {
        leaveCheck();
    }
}

} // namespace quillet
