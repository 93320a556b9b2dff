// Every page and tab at the window's initial size: each label and button has
// at least the room its text needs, and no two sibling controls overlap.
#include "WindowEnv.h"

#include "accounts/AccessList.h"
#include "client/TransferQueue.h"
#include "window/AccountTabs.h"
#include "window/ClientPage.h"
#include "window/ConfirmationBox.h"
#include "window/ElidedLabel.h"
#include "window/LogPane.h"
#include "window/ServerPage.h"
#include "window/SettingsPage.h"
#include "window/SiteManager.h"
#include "window/WindowPrompts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

using testing_support::RunLoopFor;
using testing_support::WindowEnv;

namespace {
QString Describe(const QWidget* w) {
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(w))
        text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(w))
        text = button->text().isEmpty() ? button->toolTip() : button->text();
    return QStringLiteral("%1 \"%2\" (%3)")
        .arg(QString::fromLatin1(w->metaObject()->className()), text, w->objectName());
}

// Checks the visible widgets under root; where names the view in failures.
void CheckView(QWidget* root, const std::string& where) {
    SCOPED_TRACE(where);
    const QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisible() || w->isWindow())
            continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            const QSize hint = w->sizeHint();
            EXPECT_GE(w->width(), hint.width()) << Describe(w).toStdString();
            EXPECT_GE(w->height(), hint.height()) << Describe(w).toStdString();
        }
        QList<QWidget*> siblings;
        for (QObject* child : w->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling != nullptr && sibling->isVisible() && !sibling->isWindow())
                siblings << sibling;
        }
        for (int i = 0; i < siblings.size(); ++i)
            for (int j = i + 1; j < siblings.size(); ++j)
                EXPECT_FALSE(siblings[i]->geometry().intersects(siblings[j]->geometry()))
                    << Describe(siblings[i]).toStdString() << " overlaps "
                    << Describe(siblings[j]).toStdString() << " in " << Describe(w).toStdString();
    }
}
} // namespace

// An account tab with its first account and that account's first entry
// selected, so every detail control is enabled and filled.
void ShowFirstAccount(QWidget* tab) {
    for (auto* view : tab->findChildren<QAbstractItemView*>()) {
        const QString name = view->objectName();
        if (name.endsWith("ListBox") && view->model()->rowCount() > 0)
            view->selectionModel()->select(view->model()->index(0, 0),
                                           QItemSelectionModel::ClearAndSelect);
    }
    RunLoopFor(10);
    for (auto* view : tab->findChildren<QAbstractItemView*>())
        if (view->objectName().endsWith("Access") && view->model()->rowCount() > 0)
            view->selectionModel()->select(view->model()->index(0, 0),
                                           QItemSelectionModel::ClearAndSelect);
}

TEST(Layout, EveryPageAndTabFitsAtTheInitialSize) {
    WindowEnv env;
    TForm1& w = *env.window;
    // Rows in every list and an account of each kind to show.
    accounts::GroupRecord group{};
    group.Name.Set("staff");
    group.HomeDirectory.Set(env.served);
    (void)accounts::AddAccessEntry(group.Access, env.served);
    ASSERT_TRUE(env.shell->Accounts().Groups().Append(group));
    accounts::ServerLists& lists = env.shell->Lists();
    (void)lists.AddIp("127.0.0.1");
    (void)lists.AddVirtMap(env.served, "pub");
    (void)lists.AddPermaLink(env.served, "readme");
    w.SettingsTab()->ShowLoaded();

    ASSERT_EQ(w.size(), QSize(TForm1::kInitialWidth, TForm1::kInitialHeight));
    QTabWidget* pages = w.Pages();
    QTabWidget* settings = w.SettingsTab()->Tabs();
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        const int tabs = page == 2 ? settings->count() : 1;
        for (int tab = 0; tab < tabs; ++tab) {
            if (page == 2)
                settings->setCurrentIndex(tab);
            RunLoopFor(30);
            const QString where =
                pages->tabText(page) + " / " + (page == 2 ? settings->tabText(tab) : "");
            CheckView(&w, where.toStdString());
            // The account tabs with an account shown, each of their own tabs.
            if (page != 2 || qobject_cast<AccountPage*>(settings->currentWidget()) == nullptr)
                continue;
            ShowFirstAccount(settings->currentWidget());
            // The rights panel is enabled only with an account and an entry selected.
            bool rightsEnabled = false;
            for (auto* box : settings->currentWidget()->findChildren<QWidget*>())
                rightsEnabled |= box->objectName().endsWith("Rights") && box->isEnabled();
            EXPECT_TRUE(rightsEnabled) << where.toStdString();
            auto* inner = settings->currentWidget()->findChild<QTabWidget*>();
            for (int i = 0; i < (inner ? inner->count() : 1); ++i) {
                if (inner)
                    inner->setCurrentIndex(i);
                RunLoopFor(30);
                CheckView(&w,
                          (where + " shown / " + (inner ? inner->tabText(i) : "")).toStdString());
            }
        }
    }
    // The bottom panels each take a fifth of the client height.
    const int share = (w.height() - w.menuBar()->height()) / 5;
    EXPECT_EQ(w.Client()->QueuePanel()->height(), share);
    EXPECT_EQ(w.Client()->Log()->height(), share);
    EXPECT_EQ(w.Server()->Log()->height(), share);
    // Nothing asked for more room than the window has.
    EXPECT_EQ(w.size(), QSize(TForm1::kInitialWidth, TForm1::kInitialHeight));
    EXPECT_LE(w.minimumSizeHint().width(), TForm1::kInitialWidth);
    EXPECT_LE(w.minimumSizeHint().height(), TForm1::kInitialHeight);
}

TEST(Layout, SiteManagerAndFileExistsDialogFitTheirTexts) {
    WindowEnv env;
    env.window->Commands().Tool(Command::SiteManager)->trigger();
    TSiteManager* sm = env.window->SiteManager();
    ASSERT_NE(sm, nullptr);
    ASSERT_TRUE(testing_support::RunLoopUntil([&] { return sm->isVisible(); }));
    RunLoopFor(30);
    CheckView(sm, "Site Manager");
    EXPECT_LE(sm->width(), TForm1::kInitialWidth);
    sm->ExitButton()->click();

    WindowPrompts prompts;
    prompts.SetParent(env.window.get());
    for (bool upload : {false, true}) {
        prompts.AskFileExistsLater(
            MakeFileExistsQuestion(upload, "/home/user/Downloads/a rather long file name.iso",
                                   "734003200", "/pub/images/a rather long file name.iso",
                                   "4700000000"),
            nullptr);
        TConfirmationBox* box = prompts.FileExistsBox();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(testing_support::RunLoopUntil([&] { return box->isVisible(); }));
        RunLoopFor(30);
        CheckView(box, upload ? "file exists, upload" : "file exists, download");
        prompts.WithdrawFileExists();
    }
}

// The queue's status bars with the widest figures a large transfer gives:
// every value fits its panel at the initial size. At 640x480 the queue still
// shows a row.
TEST(Layout, QueueFiguresFitAndTheQueueShowsRowsWhenSmall) {
    WindowEnv env;
    TForm1& w = *env.window;
    ASSERT_EQ(w.size(), QSize(TForm1::kInitialWidth, TForm1::kInitialHeight));
    QWidget* panel = w.Client()->QueuePanel();
    ClientPage* page = w.Client();
    // The widest figures: queue count, total bytes and run kind (the path
    // panel stretches over the rest of its bar), then file size, bytes,
    // total bytes, speed, share and time left of a large transfer.
    const std::pair<QLabel*, const char*> wide[] = {
        {page->Totals(0), "12345"},        {page->Totals(1), "123456789012"},
        {page->Totals(2), "Directory <-"}, {page->Figure(0), "123456789012"},
        {page->Figure(1), "123456789012"}, {page->Figure(2), "123456789012"},
        {page->Figure(3), "122070.31"},    {page->Figure(4), "100.00"},
        {page->Figure(5), "999:59:59"}};
    for (const auto& [label, text] : wide)
        label->setText(QString::fromLatin1(text));
    RunLoopFor(30);
    for (const auto& [label, text] : wide) {
        EXPECT_TRUE(label->isVisible()) << text;
        EXPECT_GE(label->width(), label->sizeHint().width()) << text;
    }
    // A path longer than its panel is shortened in the middle, whole in the
    // tool tip, and keeps within the bar.
    auto* path = qobject_cast<ElidedLabel*>(page->Totals(3));
    ASSERT_NE(path, nullptr);
    const QString longPath = QStringLiteral("/home/user/Downloads/") + QString(80, QChar('x')) +
                             QStringLiteral("/image.iso");
    path->SetFullText(longPath);
    RunLoopFor(30);
    EXPECT_EQ(path->toolTip(), longPath);
    EXPECT_TRUE(path->text().startsWith(QStringLiteral("/home")) &&
                path->text().contains(QChar(0x2026)) &&
                path->text().endsWith(QStringLiteral(".iso")))
        << path->text().toStdString();
    EXPECT_LT(path->text().size(), longPath.size());
    EXPECT_LE(path->geometry().right(), path->parentWidget()->width());
    // Every caption beside them too.
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        if (label != path) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
    }
    EXPECT_EQ(w.size(), QSize(TForm1::kInitialWidth, TForm1::kInitialHeight));

    // A small window: the queue view shows its first row whole.
    env.shell->Queue().AddTransfer(false, false, env.served + "a.bin", "/a.bin", 289);
    w.resize(640, 480);
    RunLoopFor(50);
    auto* queue = w.Client()->Queue();
    ASSERT_EQ(queue->model()->rowCount(), 1);
    const QRect row = queue->visualRect(queue->model()->index(0, 0));
    EXPECT_TRUE(queue->isVisible());
    EXPECT_GT(row.height(), 0);
    EXPECT_TRUE(queue->viewport()->rect().contains(row.adjusted(0, 0, -row.width() + 1, 0)))
        << "row " << row.y() << "+" << row.height() << " in a viewport of "
        << queue->viewport()->height();
}
