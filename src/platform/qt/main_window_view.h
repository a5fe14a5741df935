#pragma once
// The main window on screen. It holds no program state: every Qt event calls one handler of
// the form, after which every widget is shown again from the form's control model.

#include "app/controls.h"
#include "platform/qt/fixed_layout.h"

#include <QMainWindow>

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

namespace quillet {

class frmMain;
class CanvasWidget;
class ColourBox;
class CornerBox;

class MainWindowView : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindowView(QWidget* parent = nullptr, SizeHold hold = CurrentSizeHold());

    // Connects the controls to the form's handlers; the form must outlive the window.
    void attach(frmMain& form);
    // Runs the form's Load handler; call it before the window is first shown.
    void load();
    // Shows the form's control model in the widgets.
    void syncFromModel();

    CanvasWidget* canvas() const { return picMain_; }
    CornerBox* cornerBox() const { return txtNumCorners_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls(QWidget* client);
    void buildMenus();
    // Calls one handler of the form, then shows the result and closes once the form unloads.
    template <class Handler> void run(Handler&& handler);

    frmMain* form_ = nullptr;
    bool busy_ = false;

    CornerBox* txtNumCorners_ = nullptr;
    CanvasWidget* picMain_ = nullptr;
    QLabel* label2_ = nullptr;
    QPushButton* cmdOnlyLines_ = nullptr;
    QPushButton* cmdOnlyPoints_ = nullptr;
    QPushButton* cmdAll_ = nullptr;
    ColourBox* picColor_ = nullptr;
    std::array<ColourBox*, PALETTE_SIZE> picSelColor_{};
    QCheckBox* chkFill_ = nullptr;
    QAction* mnuUndo_ = nullptr;
    QAction* mnuSaveAs_ = nullptr;
    QAction* mnuOpen_ = nullptr;
};

} // namespace quillet
