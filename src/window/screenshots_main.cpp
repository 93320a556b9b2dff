// window_screenshots: shows every page and tab of the main window on a data
// folder and writes one PNG per view into the output folder. Used by
// scripts/screenshots; not installed.
#include "app/AppShell.h"
#include "window/ClientPage.h"
#include "window/HelpWindow.h"
#include "window/SettingsPage.h"
#include "window/TForm1.h"
#include "window/WindowPrompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {
void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

bool Save(QWidget& window, const QString& folder, const QString& name) {
    Settle();
    const QString path = folder + "/" + name + ".png";
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "window_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: window_screenshots DATA-DIR OUT-DIR\n");
        return 2;
    }
    QString data = QString::fromLocal8Bit(argv[1]);
    if (!data.endsWith('/'))
        data += '/';
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    WindowPrompts prompts;
    AppShell shell(data.toStdString(), data.toStdString() + "vexa2.ini",
                   QCoreApplication::applicationDirPath().toStdString() + "/vexa2.hlp", &prompts);
    TForm1 window(shell, prompts);
    prompts.SetParent(&window);
    shell.StartUp();
    window.show();
    window.StartUpSteps();
    bool ok = true;
    ok &= Save(window, out, "client-session");
    window.Pages()->setCurrentIndex(1);
    // A listening server is shown with its first client, when one comes.
    if (shell.Server().Active()) {
        QElapsedTimer waited;
        waited.start();
        while (shell.Owner().Rows().empty() && waited.elapsed() < 15000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    ok &= Save(window, out, "server-session");
    window.Pages()->setCurrentIndex(2);
    const char* tabs[] = {"client-settings", "server-settings", "global-settings", "user-admin",
                          "group-admin"};
    for (int i = 0; i < 5; ++i) {
        window.SettingsTab()->Tabs()->setCurrentIndex(i);
        // The account tabs show their first account with its first entry.
        if (i >= 3) {
            const QString prefix = i == 3 ? "User" : "Group";
            for (const QString& list : {prefix + "ListBox", prefix + "Access"}) {
                Settle();
                if (auto* view = window.findChild<QAbstractItemView*>(list);
                    view != nullptr && view->model()->rowCount() > 0)
                    view->selectionModel()->select(view->model()->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect);
            }
        }
        ok &= Save(window, out, tabs[i]);
    }
    window.Run(Command::Contents);
    Settle();
    ok &= Save(*window.Help(), out, "help");
    window.Help()->close();
    shell.Shutdown();
    return ok ? 0 : 1;
}
