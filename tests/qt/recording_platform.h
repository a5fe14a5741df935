#pragma once
// The Qt platform with its modal parts replaced: message boxes and dialogs are recorded and
// answered from a script, so the window can be driven offscreen with nobody at the keys.

#include "app/main_window.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <deque>
#include <string>
#include <vector>

struct RecordedMessage {
    std::string text;
    std::string title;
    quillet::MsgIcon icon;
    quillet::MsgButtons buttons;
};

class RecordingPlatform : public quillet::QtPlatform {
  public:
    using QtPlatform::QtPlatform;

    std::vector<RecordedMessage> messages;
    // Answers to Yes/No/Cancel boxes; Cancel when none is left.
    std::deque<quillet::MsgResult> answers;
    int openDialogs = 0;
    int colourDialogs = 0;
    std::optional<std::uint32_t> colourAnswer;

    using QtPlatform::MsgBox;
    quillet::MsgResult MsgBox(const std::string& text, const std::string& title,
                              quillet::MsgIcon icon, quillet::MsgButtons buttons,
                              const std::string&) override {
        messages.push_back({text, title, icon, buttons});
        if (buttons == quillet::MsgButtons::OK) {
            return quillet::MsgResult::OK;
        }
        if (answers.empty()) {
            return quillet::MsgResult::Cancel;
        }
        const quillet::MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<quillet::FileDialogAnswer> ShowSave(const quillet::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<quillet::FileDialogAnswer> ShowOpen(const quillet::FileDialogRequest&) override {
        ++openDialogs;
        return std::nullopt;
    }
    std::optional<std::uint32_t> ShowColor(std::uint32_t, const std::string&) override {
        ++colourDialogs;
        return colourAnswer;
    }
};

// The main window with its form, loaded and shown as at start-up.
struct LoadedWindow {
    quillet::MainWindowView view;
    RecordingPlatform platform{view};
    quillet::frmMain form{platform, view.canvas()->innerSize().width(),
                          view.canvas()->innerSize().height()};

    LoadedWindow() {
        form.RandomSeed = 1;
        view.attach(form);
        view.load();
        view.show();
    }

    template <class W> W* control(const char* name) const {
        return view.findChild<W*>(QString::fromLatin1(name));
    }
};

// A pointer move as the window system delivers it, with `held` buttons down.
inline void MoveMouse(QWidget* widget, QPoint pos, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Moves onto `pos` and clicks there, as a user does.
inline void ClickAt(QWidget* widget, QPoint pos) {
    MoveMouse(widget, pos);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
}
