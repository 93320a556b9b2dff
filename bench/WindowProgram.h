#pragma once
// The desktop program as the window benchmarks run it: the shell and the
// main window over a fresh data folder of their own, with the window's own
// dialogs. Needs a QApplication.
#include "app/AppShell.h"
#include "window/TForm1.h"
#include "window/WindowPrompts.h"

#include <QTemporaryDir>

#include <string>

namespace bench_support {

struct WindowProgram {
    QTemporaryDir root;
    std::string data = root.path().toStdString() + "/";
    bool foldersSet = SetFolders(root.path());
    WindowPrompts prompts;
    AppShell shell{data, data + "vexa2.ini", data + "vexa2.hlp", &prompts};
    TForm1 window{shell, prompts};

    WindowProgram() { prompts.SetParent(&window); }

    // The start-up sequence and the window shown, as the program runs them.
    void Start() {
        shell.StartUp();
        window.show();
        window.StartUpSteps();
    }

private:
    static bool SetFolders(const QString& root) {
        qputenv("XDG_DATA_HOME", (root + "/xdg-data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (root + "/xdg-config").toUtf8());
        return true;
    }
};

} // namespace bench_support
