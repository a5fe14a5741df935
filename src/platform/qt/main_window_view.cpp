#include "platform/qt/main_window_view.h"

#include "app/main_window.h"
#include "platform/qt/accessibility.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/colour_box.h"
#include "platform/qt/corner_box.h"
#include "platform/qt/fixed_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>

#include <utility>
#include <vector>

namespace quillet {

namespace {

using ClickHandler = void (frmMain::*)();

// The handler behind each button and menu item.
ClickHandler ClickHandlerFor(std::string_view name) {
    static constexpr std::pair<std::string_view, ClickHandler> HANDLERS[] = {
        {"cmdAll", &frmMain::cmdAll_Click},
        {"cmdOnlyLines", &frmMain::cmdOnlyLines_Click},
        {"cmdOnlyPoints", &frmMain::cmdOnlyPoints_Click},
        {"mnuNew", &frmMain::mnuNew_Click},
        {"mnuUndo", &frmMain::mnuUndo_Click},
        {"mnuSaveAs", &frmMain::mnuSaveAs_Click},
        {"mnuOpen", &frmMain::mnuOpen_Click},
        {"mnuQuit", &frmMain::mnuQuit_Click},
        {"mnuManual", &frmMain::mnuManual_Click},
        {"mnuAbout", &frmMain::mnuAbout_Click},
    };
    for (const auto& [key, handler] : HANDLERS) {
        if (key == name) {
            return handler;
        }
    }
    return nullptr;
}

// Clicking a control takes the focus before the press reaches it. When the corner box's check
// refuses its text it sends the focus back, and then the press, and the release that belongs
// to it, must not act on the control.
class RefusedPressFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if ((widget->focusPolicy() & Qt::ClickFocus) &&
                widget->window()->focusWidget() != widget) {
                refused_ = widget;
                return true;
            }
            refused_ = nullptr;
            return false;
        case QEvent::MouseButtonRelease:
            if (refused_ == widget) {
                if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
                    refused_ = nullptr;
                }
                return true;
            }
            return false;
        default:
            return false;
        }
    }

  private:
    QPointer<QWidget> refused_;
};

} // namespace

template <class Handler> void MainWindowView::run(Handler&& handler) {
    // A handler runs to completion; nothing reaches the form while one is running.
    if (form_ == nullptr || busy_ || form_->Unloaded) {
        return;
    }
    busy_ = true;
    std::forward<Handler>(handler)();
    busy_ = false;
    syncFromModel();
    if (form_->Unloaded) {
        close();
    }
}

MainWindowView::MainWindowView(QWidget* parent, SizeHold hold) : QMainWindow(parent) {
    setWindowTitle(ToQString(FRM_MAIN_CAPTION));
    setWindowIcon(AppIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    const QSize clientSize(TwipsToPixels(FRM_MAIN_WIDTH), TwipsToPixels(FRM_MAIN_HEIGHT));
    // The controls have fixed places: a larger client area is room to the right and below.
    if (hold == SizeHold::Fixed) {
        client->setFixedSize(clientSize);
    } else {
        client->setMinimumSize(clientSize);
    }
    setCentralWidget(client);
    buildControls(client);
    FitFontToControls(client);
    buildMenus();
    // The window takes the size of the client area plus the menu bar, and keeps it (or, as
    // the hold says, takes at least that).
    layout()->setSizeConstraint(hold == SizeHold::Fixed ? QLayout::SetFixedSize
                                                        : QLayout::SetMinimumSize);
    txtNumCorners_->setFocus();
}

void MainWindowView::buildControls(QWidget* client) {
    auto* refusedPresses = new RefusedPressFilter(this);
    std::vector<QWidget*> tabOrder;
    QLabel* cornersLabel = nullptr;
    auto place = [&](QWidget* widget, const ControlLayout& layout) {
        widget->setObjectName(ToQString(layout.Name));
        widget->setGeometry(PixelGeometry(layout));
        if (widget->focusPolicy() != Qt::NoFocus) {
            tabOrder.push_back(widget);
            if (widget != txtNumCorners_) {
                widget->installEventFilter(refusedPresses);
            }
        }
    };

    for (const ControlLayout& layout : MAIN_CONTROLS) {
        const QString caption = ToQString(layout.Caption);
        switch (layout.Kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(caption, client);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (layout.Name == "Label2") {
                label2_ = label;
            } else if (layout.Name == "Label1") {
                cornersLabel = label;
            }
            place(label, layout);
            break;
        }
        case ControlKind::TextBox:
            txtNumCorners_ = new CornerBox(client);
            txtNumCorners_->setText(caption);
            place(txtNumCorners_, layout);
            break;
        case ControlKind::PictureBox:
            if (layout.Name == "picMain") {
                picMain_ = new CanvasWidget(client);
                place(picMain_, layout);
            } else {
                picColor_ = new ColourBox(client);
                place(picColor_, layout);
                // The palette comes right after the current colour, in the window and in
                // the tab order.
                for (int i = 0; i < PALETTE_SIZE; ++i) {
                    auto* swatch = new ColourBox(client);
                    swatch->setPressable(true);
                    picSelColor_[static_cast<std::size_t>(i)] = swatch;
                    place(swatch, PaletteSwatchLayout(i));
                    swatch->setObjectName(QStringLiteral("picSelColor%1").arg(i));
                }
            }
            break;
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, client);
            button->setAutoDefault(false);
            place(button, layout);
            const ClickHandler handler = ClickHandlerFor(layout.Name);
            connect(button, &QPushButton::clicked, this,
                    [this, handler] { run([this, handler] { (form_->*handler)(); }); });
            if (layout.Name == "cmdOnlyLines") {
                cmdOnlyLines_ = button;
            } else if (layout.Name == "cmdOnlyPoints") {
                cmdOnlyPoints_ = button;
            } else {
                cmdAll_ = button;
            }
            break;
        }
        case ControlKind::CheckBox:
            chkFill_ = new QCheckBox(caption, client);
            place(chkFill_, layout);
            break;
        }
    }
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    // A screen reader names the box by its label.
    cornersLabel->setBuddy(txtNumCorners_);

    connect(txtNumCorners_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (form_ != nullptr) {
            form_->ctl.txtNumCorners = text.toStdString();
        }
    });
    txtNumCorners_->keyFilter = [this](int& keyAscii) {
        run([this, &keyAscii] { form_->txtNumCorners_KeyPress(keyAscii); });
    };
    txtNumCorners_->leaveCheck = [this] { run([this] { form_->txtNumCorners_LostFocus(); }); };

    connect(picMain_, &CanvasWidget::mouseDown, this, [this](int b, int s, float x, float y) {
        run([=, this] { form_->picMain_MouseDown(b, s, x, y); });
    });
    connect(picMain_, &CanvasWidget::mouseMove, this, [this](int b, int s, float x, float y) {
        run([=, this] { form_->picMain_MouseMove(b, s, x, y); });
    });
    connect(picMain_, &CanvasWidget::mouseUp, this, [this](int b, int s, float x, float y) {
        run([=, this] { form_->picMain_MouseUp(b, s, x, y); });
    });
    connect(picMain_, &CanvasWidget::click, this,
            [this] { run([this] { form_->picMain_Click(); }); });

    for (int i = 0; i < PALETTE_SIZE; ++i) {
        connect(picSelColor_[static_cast<std::size_t>(i)], &ColourBox::clicked, this,
                [this, i] { run([this, i] { form_->picSelColor_Click(i); }); });
    }
    connect(chkFill_, &QCheckBox::clicked, this, [this](bool checked) {
        run([this, checked] { form_->SetFillValue(checked ? 1 : 0); });
    });
}

void MainWindowView::buildMenus() {
    auto addMenu = [this](std::string_view name, std::string_view caption, const auto& items) {
        QMenu* menu = menuBar()->addMenu(ToQString(caption));
        menu->setObjectName(ToQString(name));
        for (const MenuLayout& item : items) {
            QAction* action = item.Caption == "-" ? menu->addSeparator()
                                                  : menu->addAction(ToQString(item.Caption));
            action->setObjectName(ToQString(item.Name));
            if (!item.Shortcut.empty()) {
                action->setShortcut(
                    QKeySequence(ToQString(item.Shortcut), QKeySequence::PortableText));
            }
            if (const ClickHandler handler = ClickHandlerFor(item.Name)) {
                connect(action, &QAction::triggered, this,
                        [this, handler] { run([this, handler] { (form_->*handler)(); }); });
            }
            if (item.Name == "mnuUndo") {
                mnuUndo_ = action;
            } else if (item.Name == "mnuSaveAs") {
                mnuSaveAs_ = action;
            } else if (item.Name == "mnuOpen") {
                mnuOpen_ = action;
            }
        }
    };
    addMenu("mnuFile", MNU_FILE_CAPTION, FILE_MENU);
    addMenu("mnuHelp", MNU_HELP_CAPTION, HELP_MENU);
}

void MainWindowView::attach(frmMain& form) {
    form_ = &form;
    form_->ctl.txtNumCorners = txtNumCorners_->text().toStdString();
    picMain_->setSurface(&form.picMain);
    syncFromModel();
}

void MainWindowView::load() {
    run([this] { form_->Form_Load(); });
}

void MainWindowView::syncFromModel() {
    if (form_ == nullptr) {
        return;
    }
    const CommandStates& enabled = form_->enabled;
    cmdAll_->setEnabled(enabled.cmdAll);
    cmdOnlyPoints_->setEnabled(enabled.cmdOnlyPoints);
    cmdOnlyLines_->setEnabled(enabled.cmdOnlyLines);
    mnuUndo_->setEnabled(enabled.mnuUndo);
    mnuSaveAs_->setEnabled(enabled.mnuSaveAs);
    mnuOpen_->setEnabled(enabled.mnuOpen);
    chkFill_->setEnabled(enabled.chkFill);
    {
        // Code sets the check box without it counting as a click.
        const QSignalBlocker blocker(chkFill_);
        chkFill_->setChecked(form_->ctl.chkFill == 1);
    }

    const ControlModel& ctl = form_->ctl;
    const QString corners = QString::fromStdString(ctl.txtNumCorners);
    if (txtNumCorners_->text() != corners) {
        txtNumCorners_->setText(corners);
    }
    const QString position = QString::fromStdString(ctl.Label2);
    if (label2_->text() != position) {
        label2_->setText(position);
    }
    // Named only on a change: every new name is sent to the screen reader.
    auto name = [](QWidget* widget, const QString& text) {
        if (widget->accessibleName() != text) {
            widget->setAccessibleName(text);
        }
    };
    picColor_->setColour(ctl.picColor);
    name(picColor_, CurrentColourAccessibleName(ctl.picColor, ctl.picSelColor));
    for (int i = 0; i < PALETTE_SIZE; ++i) {
        const auto index = static_cast<std::size_t>(i);
        picSelColor_[index]->setColour(ctl.picSelColor[index]);
        name(picSelColor_[index], SwatchAccessibleName(i, ctl.picSelColor[index]));
    }
}

void MainWindowView::closeEvent(QCloseEvent* event) {
    if (form_ != nullptr && !form_->Unloaded) {
        // The close box, the window manager and the end of the session all ask here.
        if (busy_) {
            event->ignore();
            return;
        }
        int Cancel = 0;
        busy_ = true;
        form_->Form_Unload(Cancel);
        busy_ = false;
        syncFromModel();
        if (Cancel != 0) {
            event->ignore();
            return;
        }
        form_->Unloaded = true;
    }
    event->accept();
}

} // namespace quillet
