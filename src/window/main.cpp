// vexa2: the desktop program. For now it opens the (empty) main window.
#include "ftpserver/Version.h"

#include <QApplication>
#include <QMainWindow>
#include <csignal>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QString::fromLatin1(kVersionText));
    window.resize(900, 640);
    window.show();
    return app.exec();
}
