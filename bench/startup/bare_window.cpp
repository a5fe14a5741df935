// The least a Qt program can do to show a window like Quillet's: a fixed 667 x 561 client area
// below a menu bar, with the same window flags. The start-up benchmark holds Quillet against it.

#include "platform/qt/first_paint_report.h"

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillet"));
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
    auto* client = new QWidget(&window);
    client->setFixedSize(667, 561);
    window.setCentralWidget(client);
    window.menuBar()->addMenu(QStringLiteral("&File"));
    window.menuBar()->addMenu(QStringLiteral("&Help"));
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    quillet::FirstPaintReport report;
    report.watchIfAsked(window);
    window.show();
    return QApplication::exec();
}
