// window_screenshots: shows every page and tab of the main window on a data
// folder and writes one PNG per view into the output folder. Used by
// scripts/screenshots; not installed.
#include "app/AppShell.h"

#include "app/SettingsKeys.h"
#include "client/ClientSession.h"
#include "client/SiteStoreTexts.h"
#include "window/ClientPage.h"
#include "window/ConfirmationBox.h"
#include "window/HelpWindow.h"
#include "window/SettingsPage.h"
#include "window/SiteManager.h"
#include "window/TForm1.h"
#include "window/WindowPrompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {
void Settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

// The demo site of the client page: the account the script made, with its
// key, stored in the site store so the site manager shows it too.
SiteRecord DemoSite(const std::string& port, const std::string& key) {
    SiteRecord site;
    site.Name = "Vexa demo server";
    site.Host = "127.0.0.1";
    site.Port = port;
    site.UserName = "alice";
    site.Password = "secret";
    site.LoginType = 3;
    site.EncryptionKey = key;
    site.EncryptionMandatory = true;
    site.Passive = true;
    return site;
}

void StoreSite(const std::string& data, const SiteRecord& site) {
    const auto bytes = site.ToBytes();
    std::ofstream out(data + site_texts::kStoreFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
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
// The whole screen, for windows shown side by side.
bool SaveScreen(const QString& folder, const QString& name) {
    Settle();
    QScreen* screen = QGuiApplication::primaryScreen();
    const QString path = folder + "/" + name + ".png";
    if (screen == nullptr || !screen->grabWindow(0).save(path)) {
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
    // VEXA_DEMO_KEY: the demo account's key; the client page then shows an
    // encrypted session with its listing and a running queue.
    const char* demoKey = std::getenv("VEXA_DEMO_KEY");
    WindowPrompts prompts;
    AppShell shell(data.toStdString(), data.toStdString() + "vexa2.ini",
                   QCoreApplication::applicationDirPath().toStdString() + "/vexa2.hlp", &prompts);
    TForm1 window(shell, prompts);
    prompts.SetParent(&window);
    shell.StartUp();
    window.show();
    window.StartUpSteps();
    bool ok = true;
    QTemporaryDir downloads;
    if (demoKey != nullptr && shell.ServerListening()) {
        const SiteRecord site = DemoSite(shell.Options().GetString(keys::ServerPort), demoKey);
        StoreSite(data.toStdString(), site);
        shell.Client().SetCurrentSite(site);
        shell.ConnectClient();
        ClientPage& page = *window.Client();
        for (const char* name : {"notes.txt", "photo.jpg"}) {
            std::ofstream file(downloads.filePath(QString::fromLatin1(name)).toStdString());
            file << "Vexa demo file\n";
        }
        QDir(downloads.path()).mkdir(QStringLiteral("projects"));
        page.Local()->ShowFolder(downloads.path());
        ok &= WaitFor(
            [&] {
                return shell.Client().Groups().RemoteUp && !shell.Client().RemoteItems().empty() &&
                       shell.Client().Indicators().Encryption == "ON";
            },
            30000);
        std::vector<RemoteItem> files;
        for (const RemoteItem& item : shell.Client().RemoteItems())
            if (item.Icon == RemoteIcon::File)
                files.push_back(item);
        std::sort(files.begin(), files.end(),
                  [](const RemoteItem& a, const RemoteItem& b) { return a.Size > b.Size; });
        shell.Queue().AddDownloads(files, page.Local()->Folder());
        shell.Queue().Run();
        // The first (largest) file well under way.
        ok &= WaitFor(
            [&] {
                const std::string& done = shell.Client().Figures().PercentDone;
                return !done.empty() && std::atof(done.c_str()) > 20.0;
            },
            60000);
    }
    ok &= Save(window, out, "client-session");
    if (demoKey != nullptr) {
        shell.Client().Stop();
        window.Run(Command::SiteManager);
        Settle();
        if (TSiteManager* sm = window.SiteManager()) {
            ok &= Save(*sm, out, "site-manager");
            // Its help beside it, both usable: the whole screen.
            sm->HelpButton()->click();
            ok &= SaveScreen(out, "site-manager-help");
            window.Help()->close();
            sm->ExitButton()->click();
        }
        FileExistsQuestion question =
            MakeFileExistsQuestion(false, downloads.path().toStdString() + "/vexa-demo.iso",
                                   "73400320", "/srv/ftp/vexa-demo.iso", "314572800");
        prompts.AskFileExistsLater(question, nullptr);
        if (TConfirmationBox* box = prompts.FileExistsBox()) {
            ok &= Save(*box, out, "file-exists");
            prompts.WithdrawFileExists();
        }
    }
    window.Pages()->setCurrentIndex(1);
    // A listening server is shown with its first client, when one comes.
    if (shell.ServerListening()) {
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
