// "&Check for Update" against Python's HTTP server: the newer-build question
// whose Yes hands the installer's address to the desktop's browser, the
// up-to-date log line without a dialog, the error dialog, and the address
// shown when no browser can be started.
#include "WindowEnv.h"

#include "PythonPeer.h"
#include "app/AppSignals.h"
#include "app/SettingsKeys.h"
#include "support/Peers.h"
#include "support/TempDir.h"
#include "window/WindowPrompts.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include <cstdlib>

#include <filesystem>

using namespace testing_support;

namespace {
// Stands in for the desktop's browser.
class Browser : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

QMessageBox* OpenBox(TForm1& window) {
    for (QMessageBox* box : window.findChildren<QMessageBox*>())
        if (box->isVisible())
            return box;
    return nullptr;
}
} // namespace

TEST(UpdateDialogs, NewerUpToDateAndErrorAgainstALocalHttpServer) {
    WindowPrompts prompts;
    WindowEnv env(&prompts);
    prompts.SetParent(env.window.get());
    Browser browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "Open");
    QStringList log;
    QObject::connect(&env.window->Signals(), &AppSignals::logLine,
                     [&](int which, const QString& line, int) {
                         if (which == 1)
                             log << line;
                     });
    TempDir site;
    PythonHttpServer server(site.Path());
    ASSERT_NE(server.Port(), 0) << server.Error();
    const std::string host = "127.0.0.1:" + server.PortText();
    env.shell->Options().SetString(keys::UpdateHost, host);
    QAction* check = env.Entry({"&File", "&Check for Update"});
    ASSERT_TRUE(check && check->isEnabled());
    TForm1& w = *env.window;

    // A newer build: No does nothing, Yes opens the installer's address.
    WriteFile(site.File("index.html"), "<p>Vexa 2 (Build 2.0.7.001)</p>\n");
    for (bool yes : {false, true}) {
        check->trigger();
        QMessageBox* box = nullptr;
        ASSERT_TRUE(RunLoopUntil([&] { return (box = OpenBox(w)) != nullptr; }, 20000));
        EXPECT_EQ(box->text().toStdString(),
                  "New version found.  Vexa Version 2.0.7.001 is available, but you only have "
                  "version 2.0.6.323 installed.  Download new version?");
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        ASSERT_TRUE(RunLoopUntil([&] { return OpenBox(w) == nullptr; }));
        RunLoopFor(50);
        EXPECT_EQ(browser.opened.size(), yes ? 1 : 0);
    }
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front().toString().toStdString(),
              "http://" + host + "/vexa2setup.exe");
    EXPECT_TRUE(log.contains("Found Vexa version 2.0.7.001 - this is a newer version"));

    // Up to date: the log line only.
    WriteFile(site.File("index.html"), "<p>(Build 2.0.6.323)</p>\n");
    check->trigger();
    ASSERT_TRUE(RunLoopUntil(
        [&] { return log.contains("Found Vexa version 2.0.6.323 - you are already up-to-date"); },
        20000));
    RunLoopFor(200);
    EXPECT_EQ(OpenBox(w), nullptr);

    // No page: the error dialog.
    std::filesystem::remove(site.File("index.html"));
    check->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(RunLoopUntil([&] { return (box = OpenBox(w)) != nullptr; }, 20000));
    EXPECT_EQ(box->text(), "Error 404 - HTTP/1.0 404 File not found");
    EXPECT_EQ(box->windowTitle(), "Error");
    box->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(RunLoopUntil([&] { return OpenBox(w) == nullptr; }));
    EXPECT_EQ(browser.opened.size(), 1);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

// Yes to a newer build with no browser to start: the installer's address in
// a dialog, so the user can still fetch it.
TEST(UpdateDialogs, YesWithoutABrowserShowsTheAddressInADialog) {
    WindowPrompts prompts;
    WindowEnv env(&prompts);
    prompts.SetParent(env.window.get());
    TempDir site;
    PythonHttpServer server(site.Path());
    ASSERT_NE(server.Port(), 0) << server.Error();
    const std::string host = "127.0.0.1:" + server.PortText();
    env.shell->Options().SetString(keys::UpdateHost, host);
    WriteFile(site.File("index.html"), "<p>Vexa 2 (Build 2.0.7.001)</p>\n");
    // Nothing that could open a web page is on the search path.
    TempDir noPrograms;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(noPrograms.Path()));
    qunsetenv("BROWSER");
    TForm1& w = *env.window;

    env.Entry({"&File", "&Check for Update"})->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(RunLoopUntil([&] { return (box = OpenBox(w)) != nullptr; }, 20000));
    box->button(QMessageBox::Yes)->click();
    QMessageBox* told = nullptr;
    const bool shown = RunLoopUntil([&] {
        told = OpenBox(w);
        return told != nullptr && told->windowTitle() == "No Web Browser";
    });
    qputenv("PATH", path);
    ASSERT_TRUE(shown);
    EXPECT_EQ(told->text().toStdString(),
              "No web browser could be started to open http://" + host +
                  "/vexa2setup.exe\n\nOpen this address in your web browser to download the new "
                  "version.");
    told->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(RunLoopUntil([&] { return OpenBox(w) == nullptr; }));
}

#include "UpdateDialogs_test.moc"
