// The client page against our own server: sorting by each column from the
// header, the double-click rules, the pop-up menus acting on the list they
// were opened over, and Stop during a download.
#include "ClientWindowEnv.h"

#include "app/AppSignals.h"
#include "support/Peers.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
QStringList Column(QTreeView* view, int column) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

void ClickHeader(QTreeView* view, int column) {
    QHeaderView* header = view->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
}

void DoubleClick(QTreeView* view, int row) {
    // A double click is a press and release, then the double-click event.
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// A right click as the window system delivers it: the context-menu event
// over the list's viewport.
void RightClick(QAbstractItemView* view) {
    QWidget* target = view->viewport();
    const QPoint at(target->width() / 2, target->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
}

void ClickEntry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    ADD_FAILURE() << "no entry " << text.toStdString();
}

struct ConnectedPage : WindowEnv {
    ClientPage& page = *window->Client();
    std::string local = root.File("local/");

    void Connect() {
        fs::create_directories(local);
        page.Local()->ShowFolder(QString::fromStdString(local));
        ASSERT_TRUE(StartServer());
        ASSERT_EQ(shell->ConnectClient(), "");
        ASSERT_TRUE(WaitForListing(*shell, page));
    }
};
} // namespace

TEST(ClientPage, HeaderClicksSortSizesAsNumbersAndDatesAsDatesBothWays) {
    ConnectedPage env;
    const auto now = fs::file_time_type::clock::now();
    const struct {
        const char* name;
        std::size_t size;
        int daysOld;
    } files[] = {
        {"b.txt", 289, 400}, {"A.txt", 7000000, 40}, {"c.dat", 3, 800}, {"d.bin", 4096, 2}};
    fs::create_directories(env.local);
    for (const std::string& folder : {env.served, env.local})
        for (const auto& f : files) {
            WriteFile(folder + f.name, std::string(f.size, 'x'));
            fs::last_write_time(folder + f.name, now - std::chrono::hours(24 * f.daysOld));
        }
    env.window->show();
    env.Connect();
    // The remote list, then the local panel: both sort the same way.
    for (QTreeView* list :
         std::initializer_list<QTreeView*>{env.page.RemoteList(), env.page.Local()->ReportView()}) {
        ASSERT_EQ(list->model()->rowCount(), 4);
        EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignRight | Qt::AlignVCenter));
        const struct {
            int column;
            QStringList ascending;
        } cases[] = {{1, {"c.dat", "b.txt", "d.bin", "A.txt"}},  // 3 < 289 < 4096 < 7,000,000
                     {2, {"c.dat", "b.txt", "A.txt", "d.bin"}},  // oldest first
                     {0, {"A.txt", "b.txt", "c.dat", "d.bin"}}}; // names ignore letter case
        for (const auto& c : cases) {
            SCOPED_TRACE(c.column);
            ClickHeader(list, c.column);
            EXPECT_EQ(Column(list, 0), c.ascending);
            EXPECT_EQ(list->header()->sortIndicatorSection(), c.column);
            EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
            // A second click turns the order round.
            ClickHeader(list, c.column);
            QStringList descending = c.ascending;
            std::reverse(descending.begin(), descending.end());
            EXPECT_EQ(Column(list, 0), descending);
            EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        } // each case's column differs from the one before: it starts ascending
    }
    // The local panel shows sizes with units, in the order sorted by.
    EXPECT_EQ(Column(env.page.Local()->ReportView(), 1),
              (QStringList{"4.0 KiB", "3 B", "289 B", "6.7 MiB"}));
}

TEST(ClientPage, DoubleClickEntersFoldersQueuesFilesAndFollowsLinks) {
    ConnectedPage env;
    fs::create_directory(env.served + "sub");
    WriteFile(env.served + "sub/inside.txt", "in");
    WriteFile(env.served + "f.txt", "file");
    fs::create_directory_symlink(env.served + "sub", env.served + "ln");
    env.Connect();
    QTreeView* list = env.page.RemoteList();
    const std::string top = env.shell->Client().RemotePath();
    auto inSub = [&] {
        const std::string& path = env.shell->Client().RemotePath();
        return env.shell->Client().Groups().RemoteUp && path != top &&
               RowOf(list, "inside.txt") >= 0;
    };

    // A folder is entered.
    DoubleClick(list, RowOf(list, "sub"));
    ASSERT_TRUE(RunLoopUntil(inSub, 20000));
    EXPECT_EQ(env.page.RemotePath()->currentText().toStdString(), env.shell->Client().RemotePath());
    // The up button goes back.
    env.page.RemoteUp()->click();
    ASSERT_TRUE(RunLoopUntil(
        [&] { return env.shell->Client().RemotePath() == top && RowOf(list, "f.txt") >= 0; },
        20000));

    // A file is queued as a download into the local panel's folder.
    DoubleClick(list, RowOf(list, "f.txt"));
    ASSERT_EQ(env.shell->Queue().Entries().size(), 1u);
    const QueueEntry& entry = env.shell->Queue().Entries().front();
    EXPECT_EQ(entry.Direction, "<-");
    EXPECT_EQ(entry.Local, env.local + "f.txt");
    EXPECT_EQ(entry.Status, "queued");
    EXPECT_EQ(env.page.Queue()->model()->rowCount(), 1);
    EXPECT_EQ(env.page.Totals(0)->text(), "1");

    // A link is followed by the name before " -> ".
    int link = -1;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        if (list->model()->index(row, 0).data().toString().startsWith("ln -> "))
            link = row;
    ASSERT_GE(link, 0);
    DoubleClick(list, link);
    ASSERT_TRUE(RunLoopUntil(inSub, 20000));
    // Choosing the first path again in the remote path box goes back to it.
    QComboBox* paths = env.page.RemotePath();
    ASSERT_GE(paths->count(), 2);
    const int first = paths->findText(QString::fromStdString(top));
    ASSERT_GE(first, 0);
    paths->setCurrentIndex(first);
    emit paths->activated(first);
    ASSERT_TRUE(RunLoopUntil([&] { return env.shell->Client().RemotePath() == top; }, 20000));
}

TEST(ClientPage, TypedPathsAreEnteredOrRefusedWithTheReason) {
    ConnectedPage env;
    fs::create_directory(env.served + "sub");
    WriteFile(env.served + "sub/inside.txt", "in");
    WriteFile(env.served + "f.txt", "file");
    QStringList log;
    QObject::connect(&env.window->Signals(), &AppSignals::logLine,
                     [&](int which, const QString& line, int) {
                         if (which == 1)
                             log << line;
                     });
    env.Connect();
    QTreeView* list = env.page.RemoteList();
    QLineEdit* remote = env.page.RemotePath()->lineEdit();
    std::string top = env.shell->Client().RemotePath();
    if (top.empty() || top.back() != '/')
        top += '/';
    auto typeInto = [](QLineEdit* field, const std::string& text) {
        field->selectAll();
        QTest::keyClicks(field, QString::fromStdString(text));
        QTest::keyClick(field, Qt::Key_Return);
    };

    // Remote: Enter goes to the typed folder.
    typeInto(remote, top + "sub");
    ASSERT_TRUE(RunLoopUntil(
        [&] { return env.shell->Client().Groups().RemoteUp && RowOf(list, "inside.txt") >= 0; },
        20000));
    const std::string sub = env.shell->Client().RemotePath();
    // One that cannot be entered says why and keeps the list.
    typeInto(remote, top + "nosuch");
    ASSERT_TRUE(RunLoopUntil(
        [&] {
            return std::any_of(log.begin(), log.end(), [&](const QString& l) {
                return l.startsWith(QString::fromStdString("Cannot enter " + top + "nosuch: 5"));
            });
        },
        20000))
        << log.join("\n").toStdString();
    RunLoopFor(100);
    EXPECT_TRUE(env.shell->Client().Groups().RemoteUp);
    EXPECT_GE(RowOf(list, "inside.txt"), 0);
    EXPECT_EQ(env.shell->Client().RemotePath(), sub);
    EXPECT_EQ(env.page.RemotePath()->currentText().toStdString(), sub);

    // Local: the same.
    fs::create_directory(env.local + "inner");
    WriteFile(env.local + "inner/local.txt", "x");
    QLineEdit* local = env.page.Local()->PathBox()->lineEdit();
    typeInto(local, env.local + "inner");
    EXPECT_EQ(env.page.Local()->Folder(), env.local + "inner/");
    EXPECT_EQ(RowOf(env.page.Local()->ReportView(), "local.txt"), 0);
    const struct {
        std::string typed;
        std::string reason;
    } refused[] = {{env.local + "missing", "no such folder"},
                   {env.local + "inner/local.txt", "not a folder"}};
    for (const auto& c : refused) {
        typeInto(local, c.typed);
        EXPECT_EQ(env.page.Local()->LastRefusal().toStdString(),
                  "Cannot open " + c.typed + ": " + c.reason);
        EXPECT_EQ(env.page.Local()->Folder(), env.local + "inner/");
        EXPECT_EQ(RowOf(env.page.Local()->ReportView(), "local.txt"), 0);
        EXPECT_EQ(local->text().toStdString() + "/", env.local + "inner/");
    }
}

// Whichever list was clicked before, a pop-up's Make New Directory acts on
// the list it was opened over.
TEST(ClientPage, PopupMenusActOnTheListTheyWereOpenedOver) {
    ConnectedPage env;
    WriteFile(env.served + "f.txt", "file");
    env.Connect();
    QAbstractItemView* local = env.page.Local()->CurrentView();
    QAbstractItemView* remote = env.page.RemoteList();
    struct Case {
        QAbstractItemView* clickedFirst;
        QAbstractItemView* openedOver;
        Popup popup;
        bool remoteMade;
    };
    for (const Case& c : {Case{local, remote, Popup::RemoteList, true},
                          Case{remote, local, Popup::LocalPanel, false}}) {
        SCOPED_TRACE(c.remoteMade ? "over the remote list" : "over the local panel");
        env.window->activateWindow();
        ASSERT_TRUE(RunLoopUntil([&] { return env.window->isActiveWindow(); }));
        QTest::mouseClick(c.clickedFirst->viewport(), Qt::LeftButton, {},
                          QPoint(5, c.clickedFirst->viewport()->height() - 5));
        ASSERT_TRUE(c.clickedFirst->hasFocus());
        const size_t asked = env.prompts.asked.size();
        env.prompts.textAnswers = {"made"};
        RightClick(c.openedOver);
        QMenu* menu = env.window->PopupMenu(c.popup);
        ASSERT_TRUE(RunLoopUntil([&] { return menu->isVisible(); }));
        EXPECT_TRUE(c.openedOver->hasFocus());
        ClickEntry(menu, "Make New Directory...");
        ASSERT_TRUE(RunLoopUntil([&] { return !menu->isVisible(); }));
        if (c.remoteMade) {
            ASSERT_EQ(env.prompts.asked.size(), asked + 1);
            EXPECT_EQ(env.prompts.asked.back(), "Create New Directory: New Directory Name");
            EXPECT_TRUE(RunLoopUntil([&] { return fs::is_directory(env.served + "made"); }));
            EXPECT_FALSE(fs::exists(env.local + "New Folder"));
            EXPECT_FALSE(fs::exists(env.local + "made"));
        } else {
            EXPECT_EQ(env.prompts.asked.size(), asked);
            EXPECT_TRUE(fs::is_directory(env.local + "New Folder"));
            EXPECT_FALSE(fs::exists(env.served + "New Folder"));
        }
        env.prompts.textAnswers.clear();
    }
}

TEST(ClientPage, StopAbortsTheRunningDownload) {
    ConnectedPage env;
    const std::string big = PatternBytes(16 * 1024 * 1024, 5);
    WriteFile(env.served + "big.bin", big);
    env.Connect();
    QStringList log;
    QObject::connect(&env.window->Signals(), &AppSignals::logLine,
                     [&](int which, const QString& line, int) {
                         if (which == 1)
                             log << line;
                     });
    ASSERT_EQ(SelectRows(env.page.RemoteList(), {"big.bin"}), 1);
    QAction* download = env.Entry({"&Transfer", "&Download"});
    ASSERT_TRUE(download->isEnabled());
    download->trigger();
    ASSERT_EQ(env.shell->Queue().Entries().size(), 1u);
    // Stop is pressed when the first bytes of the file have arrived, before
    // the engine reads any more: the abort comes at that block however fast
    // the loopback is.
    QAction* stop = env.window->Commands().Tool(Command::Stop);
    ASSERT_TRUE(stop->isEnabled());
    bool stopped = false;
    TFtpClient& ftp = env.shell->Ftp();
    auto inner = ftp.OnProgress;
    ftp.OnProgress = [&](TCustomFtpCli* sender, std::int64_t count, bool& abort) {
        if (!stopped && count > 0) {
            stopped = true;
            stop->trigger();
        }
        inner(sender, count, abort);
    };
    env.window->Commands().Tool(Command::TransferQueue)->trigger();
    ASSERT_TRUE(WaitForQueue(*env.shell));
    ftp.OnProgress = inner;
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(log.contains("Aborting..."));
    EXPECT_TRUE(log.contains(QString::fromStdString("Failed to download " +
                                                    env.shell->Client().RemotePath() + "big.bin")))
        << log.join("\n").toStdString();
    // The bytes received stay for a resume; the rest never came.
    const auto got = fs::file_size(env.local + "big.bin");
    EXPECT_LT(got, big.size());
    EXPECT_EQ(ReadFile(env.local + "big.bin"), big.substr(0, got));
    EXPECT_TRUE(env.shell->Ftp().Connected());
}

TEST(ClientPage, AQueuedFolderDownloadShowsItsLocalFolder) {
    ConnectedPage env;
    fs::create_directory(env.served + "sub");
    WriteFile(env.served + "sub/inside.txt", "in");
    env.Connect();
    std::vector<RemoteItem> folder;
    for (const RemoteItem& item : env.shell->Client().RemoteItems())
        if (item.Caption == "sub")
            folder.push_back(item);
    ASSERT_EQ(folder.size(), 1u);
    env.shell->Queue().AddDownloads(folder, env.page.Local()->Folder());
    env.shell->Queue().Run();
    ASSERT_TRUE(WaitForQueue(*env.shell));
    EXPECT_EQ(env.page.Local()->Folder(), env.local + "sub/");
    EXPECT_EQ(RowOf(env.page.Local()->ReportView(), "inside.txt"), 0);
}
