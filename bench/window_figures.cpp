// window_figures: the desktop window's figures, printed rather than asserted.
//   start-up: from entering main to the first painted frame of the window
//   key pair: a 2048-bit generation from the settings page with the window
//             open, and the longest the event loop went without serving a
//             10 ms timer meanwhile
// Run under QT_QPA_PLATFORM=offscreen or a display; argument: runs of the
// generation (default 1).
#include "WindowProgram.h"
#include "app/AppShell.h"
#include "app/KeyPairManagement.h"
#include "app/SettingsKeys.h"
#include "window/KeyPairControls.h"
#include "window/SettingsPage.h"
#include "window/TForm1.h"
#include "window/WindowPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
// Notes the first paint of any widget of the window.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget& window, QElapsedTimer& clock) : window_(window), clock_(clock) {}
    qint64 at = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (at < 0 && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == &window_)
                at = clock_.nsecsElapsed();
        }
        return false;
    }

private:
    QWidget& window_;
    QElapsedTimer& clock_;
};
} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    QApplication app(argc, argv);
    bench_support::WindowProgram program;
    AppShell& shell = program.shell;
    TForm1& window = program.window;
    FirstPaint paint(window, clock);
    app.installEventFilter(&paint);
    program.Start();
    qint64 frameDone = -1;
    while (paint.at < 0 && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QTimer::singleShot(0, [&] { frameDone = clock.nsecsElapsed(); });
    while (frameDone < 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    app.removeEventFilter(&paint);
    std::printf("start-up: first paint %.1f ms, first frame done %.1f ms after entering main\n",
                paint.at / 1e6, frameDone / 1e6);

    ChooseKeyBits(shell.Options(), shell.RSA1(), kb2048);
    QPushButton* generate = window.SettingsTab()->Keys()->GenerateButton();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer gap;
        qint64 longestGap = 0;
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, gap.restart());
            ++ticks;
        });
        QElapsedTimer generation;
        generation.start();
        gap.start();
        ticker.start(10);
        generate->click();
        while (shell.GeneratingKeyPair())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ticker.stop();
        std::printf("key pair %s bits: %.2f s, %d timer ticks served, longest gap %lld ms\n",
                    shell.Options().GetString(keys::CurrentKeyBits).c_str(),
                    generation.nsecsElapsed() / 1e9, ticks, static_cast<long long>(longestGap));
    }
    shell.Shutdown();
    return 0;
}
