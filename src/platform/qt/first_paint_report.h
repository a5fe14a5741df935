#pragma once
// For the start-up benchmark (bench/startup), asked for with QUILLET_REPORT_FIRST_PAINT: once a
// window's first paint has been flushed to the screen, the monotonic clock in seconds on stdout,
// then the program quits. Quillet and the bare window it is measured against report alike.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace quillet {

class FirstPaintReport : public QObject {
  public:
    // Watches `window` when the benchmark asks for it.
    void watchIfAsked(QObject& window) {
        if (std::getenv("QUILLET_REPORT_FIRST_PAINT") != nullptr) {
            window.installEventFilter(this);
        }
    }

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

} // namespace quillet
