#pragma once
#include "support/EventLoop.h"
#include "support/ShellEnv.h"
#include "window/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStringList>

#include <memory>

namespace testing_support {

// The main window over a ShellEnv program; questions from the window go to
// windowPrompts when given, else to the shell's scripted prompts. With
// shellToo the shell asks windowPrompts as well, as the program does.
struct WindowEnv : ShellEnv {
    std::unique_ptr<TForm1> window;

    explicit WindowEnv(Prompts* windowPrompts = nullptr, const std::string& accountKey = {},
                       bool shellToo = false)
        : ShellEnv(accountKey, shellToo ? windowPrompts : nullptr) {
        window = std::make_unique<TForm1>(*shell, windowPrompts ? *windowPrompts : prompts);
        window->show();
        window->StartUpSteps();
    }
    ~WindowEnv() { window.reset(); }

    // A menu entry by its path of texts, e.g. {"&Server", "Kick All Users"}.
    QAction* Entry(const QStringList& path) const {
        QList<QAction*> actions = window->menuBar()->actions();
        QAction* found = nullptr;
        for (const QString& text : path) {
            found = nullptr;
            for (QAction* action : actions)
                if (action->text() == text)
                    found = action;
            if (found == nullptr)
                return nullptr;
            if (found->menu() != nullptr)
                actions = found->menu()->actions();
        }
        return found;
    }
};

// A python3 ftplib client in its own process (tests/window/ftp_peer.py).
inline std::unique_ptr<QProcess> StartFtpPeer(int port, const QString& mode) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(VEXA_SOURCE_DIR "/tests/window/ftp_peer.py"),
                    QString::number(port), QString::fromLatin1(ShellEnv::kUser),
                    QString::fromLatin1(ShellEnv::kPass), mode});
    return process;
}

} // namespace testing_support
