// The least a Qt program can do to show a window like Quillet's: a fixed 667 x 561 client area
// below a menu bar, with the same window flags. The start-up benchmark holds Quillet against it.

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// Reported as Quillet's main.cpp reports it: once the first paint has been flushed to the
// screen, the monotonic clock in seconds on stdout, then the program quits.
class FirstPaintReport : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("first-paint %.6f\n", std::chrono::duration<double>(now).count());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

} // namespace

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
    FirstPaintReport report;
    if (std::getenv("QUILLET_REPORT_FIRST_PAINT") != nullptr) {
        window.installEventFilter(&report);
    }
    window.show();
    return QApplication::exec();
}
