// Quillet: draws patterns of regular polygons that share corners and sides.

#include "app/main_window.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/fixed_layout.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QIcon>
#include <QSessionManager>
#include <QSize>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(quillet::AppIcon());

    quillet::MainWindowView view;
    quillet::QtPlatform platform(view);
    const QSize canvas = view.canvas()->innerSize();
    quillet::frmMain form(platform, canvas.width(), canvas.height());
    // QApplication has taken its own options out of argv; what is left is the program's.
    form.strCmdLine = quillet::MakeCmdLine(argc, argv);
    view.attach(form);

    // Ending the desktop session closes the window like its close box, unsaved-changes
    // question included, and a Cancel there keeps the session going.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &view,
                     [&view](QSessionManager& manager) {
                         if (manager.allowsInteraction() && !view.close()) {
                             manager.cancel();
                         }
                         manager.release();
                     });

    // Messages of the load come up before the window.
    view.load();
    if (form.Unloaded) {
        return 0;
    }
    view.show();
    return QApplication::exec();
}
