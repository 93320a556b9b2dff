// The item models over real engines: consistent for any view
// (QAbstractItemModelTester), and single-row updates while transfers run.
#include "app/AppSignals.h"
#include "models/ConnectionListModel.h"
#include "models/NameListModel.h"
#include "models/RemoteListingModel.h"
#include "models/SizeText.h"
#include "models/TransferQueueModel.h"
#include "support/EventLoop.h"
#include "support/Peers.h"
#include "support/QueueEnv.h"
#include "support/ShellEnv.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

// Every dataChanged of a model, as the row ranges it covered.
struct ChangeLog {
    std::vector<std::pair<int, int>> changed;
    int resets = 0, inserted = 0, removed = 0;
    explicit ChangeLog(QAbstractItemModel& model) {
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& a, const QModelIndex& b) {
                             changed.emplace_back(a.row(), b.row());
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [this] { ++inserted; });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [this] { ++removed; });
    }
};

constexpr const char* kFtplibDownload = R"(
import ftplib, sys, time
f = ftplib.FTP()
f.connect('127.0.0.1', int(sys.argv[1]))
f.login('alice', 'secret')
data = bytearray()
f.retrbinary('RETR big.bin', data.extend, blocksize=65536)
print(len(data))
sys.stdout.flush()
time.sleep(0.5)  # the row stays while the last progress is shown
f.quit()
)";

} // namespace

TEST(ConnectionListModel, FollowsARealTransferOneRowAtATime) {
    ShellEnv env;
    AppSignals events(*env.shell);
    ConnectionListModel model(env.shell->Owner(), events);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChangeLog log(model);
    const std::size_t size = 24u << 20;
    WriteFile(env.served + "big.bin", PatternBytes(size));
    ASSERT_TRUE(env.StartServer());

    // Every progress event of the owner, against what reached the views.
    int progressEvents = 0;
    auto inner = env.shell->Owner().OnRowChanged;
    env.shell->Owner().OnRowChanged = [&](int row) {
        ++progressEvents;
        inner(row);
    };
    QSignalSpy rowSignals(&events, &AppSignals::serverRowChanged);
    std::string progressSeen, progressTip, speedSeen;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& a) {
        const QModelIndex progress = model.index(a.row(), ConnectionListModel::kProgressColumn);
        progressSeen = progress.data().toString().toStdString();
        progressTip = progress.data(Qt::ToolTipRole).toString().toStdString();
        speedSeen =
            model.index(a.row(), ConnectionListModel::kSpeedColumn).data().toString().toStdString();
    });

    CommandResult r =
        RunCommandServing("/usr/bin/python3", {"-c", kFtplibDownload, std::to_string(env.Port())});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(size) + "\n");
    RunLoopUntil([&] { return model.rowCount() == 0; });

    EXPECT_EQ(log.resets, 0);
    EXPECT_GE(log.inserted, 1); // the login
    EXPECT_GE(log.removed, 1);  // the disconnect
    ASSERT_FALSE(log.changed.empty());
    for (const auto& [from, to] : log.changed)
        EXPECT_EQ(from, to) << "a change covered more than one row";
    EXPECT_GT(progressEvents, rowSignals.count()) << "progress was not throttled";
    // The last progress shown is the whole file with units; the exact count
    // is the cell's tool tip.
    EXPECT_EQ(progressSeen.rfind("24.0 MiB (100%)", 0), 0u) << progressSeen;
    EXPECT_EQ(progressTip, std::to_string(size) + " bytes");
    EXPECT_NE(speedSeen.find("/s"), std::string::npos) << speedSeen;
}

TEST(SizeText, BinaryUnitsWithOneDecimal) {
    struct Case {
        long long bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 B"},
        {3, "3 B"},
        {1023, "1023 B"},
        {1024, "1.0 KiB"},
        {4096, "4.0 KiB"},
        {7000000, "6.7 MiB"},
        {1610612736, "1.5 GiB"},
        {5LL << 40, "5.0 TiB"},
        {5LL << 50, "5120.0 TiB"},
        {-1, "0 B"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SizeWithUnits(c.bytes).toStdString(), c.text) << c.bytes;
    EXPECT_EQ(RateWithUnits(0).toStdString(), "0 B/s");
    EXPECT_EQ(RateWithUnits(126361.6).toStdString(), "123.4 KiB/s");

    struct Share {
        long long bytes, total;
        const char* text;
    };
    const Share shares[] = {
        {0, 1000, "0 B (0%)"},
        {999, 1000, "999 B (99%)"},
        {1000, 1000, "1000 B (100%)"},
        {4718592, 10485760, "4.5 MiB (45%)"},
        {2000, 1000, "2.0 KiB (100%)"}, // more than the file (its cipher blocks)
        {4718592, -1, "4.5 MiB"},       // an upload's whole is unknown
        {10, 0, "10 B"},
    };
    for (const Share& c : shares)
        EXPECT_EQ(ProgressWithUnits(c.bytes, c.total).toStdString(), c.text) << c.bytes;
}

TEST(RemoteListingModel, ShowsTheListingAndSortsThroughTheSession) {
    ShellEnv env;
    AppSignals events(*env.shell);
    RemoteListingModel model(env.shell->Client(), events);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    WriteFile(env.served + "b.txt", std::string(300, 'b'));
    WriteFile(env.served + "a.txt", std::string(1000, 'a'));
    ::mkdir((env.served + "c dir").c_str(), 0700);
    ASSERT_TRUE(env.StartServer());
    ASSERT_TRUE(ConnectAndList(*env.shell));
    ASSERT_TRUE(RunLoopUntil([&] { return model.rowCount() == 3; }));

    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Size");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Modified");
    EXPECT_EQ(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              Qt::AlignRight);
    auto names = [&] {
        std::vector<std::string> out;
        for (int row = 0; row < model.rowCount(); ++row)
            out.push_back(model.index(row, 0).data().toString().toStdString());
        return out;
    };
    // Shown by name already: the name column's sort turns the order round.
    model.sort(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"c dir", "b.txt", "a.txt"}));
    model.sort(0);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt", "c dir"}));
    const int dirRow = 2;
    EXPECT_EQ(model.index(dirRow, 0).data(RemoteListingModel::KindRole).toInt(),
              static_cast<int>(RemoteIcon::Folder));
    EXPECT_EQ(model.index(0, 1).data().toString(), "1000");
    // Sizes sort as numbers: 300 before 1000.
    model.sort(1);
    const auto bySize = names();
    EXPECT_LT(std::find(bySize.begin(), bySize.end(), "b.txt"),
              std::find(bySize.begin(), bySize.end(), "a.txt"));
    env.shell->Client().Disconnect();
}

TEST(NameListModel, ChangesOnlyWhatDiffers) {
    std::vector<std::string> source{"alpha", "bravo", "charlie"};
    NameListModel model("Site Name", [&] { return source; });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChangeLog log(model);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Site Name");

    struct Step {
        std::vector<std::string> names;
        int inserted, removed, resets;
    };
    const Step steps[] = {
        {{"alpha", "bravo", "charlie", "delta"}, 1, 0, 0}, // added at the end
        {{"alpha", "charlie", "delta"}, 0, 1, 0},          // one removed
        {{"alpha", "azure", "charlie", "delta"}, 1, 0, 0}, // one inserted in between
        {{"alpha", "azure", "delta", "echo"}, 1, 1, 0},    // a rename: one out, one in
        {{"delta", "alpha", "azure", "echo"}, 0, 0, 1},    // a new order: reset
        {{}, 0, 4, 0},                                     // emptied row by row
    };
    for (const Step& step : steps) {
        const int inserted = log.inserted, removed = log.removed, resets = log.resets;
        source = step.names;
        model.Refresh();
        EXPECT_EQ(log.inserted - inserted, step.inserted);
        EXPECT_EQ(log.removed - removed, step.removed);
        EXPECT_EQ(log.resets - resets, step.resets);
        EXPECT_EQ(model.rowCount(), static_cast<int>(step.names.size()));
        for (int row = 0; row < model.rowCount(); ++row)
            EXPECT_EQ(model.index(row, 0).data().toString().toStdString(), step.names[row]);
    }
}

TEST(TransferQueueModel, FollowsARecursiveDownloadOneRowAtATime) {
    QueueEnv env;
    AppSignals events(*env.shell);
    TransferQueueModel model(env.Queue(), events);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChangeLog log(model);
    MakeTree(env.served + "tree");
    ASSERT_TRUE(env.StartServer());
    ASSERT_TRUE(env.Connect());

    EXPECT_EQ(model.columnCount(), 7);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Local");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "");
    EXPECT_EQ(model.headerData(6, Qt::Horizontal).toString(), "Status");
    env.Queue().AddDownloads(env.Items({"tree"}), env.local);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, 2).data().toString(), "<-");
    EXPECT_EQ(model.index(0, 6).data().toString(), "queued");
    EXPECT_EQ(model.index(0, 0).data(TransferQueueModel::KindRole).toInt(), 1);

    // Starting the entry changes its own row only.
    std::vector<std::string> statuses;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& a) {
        statuses.push_back(model.index(a.row(), 6).data().toString().toStdString());
    });
    ASSERT_TRUE(env.RunQueue());
    EXPECT_EQ(TreeOf(env.local + "tree"), TreeOf(env.served + "tree"));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(log.resets, 0);
    EXPECT_GT(log.inserted, 1); // the contents of each folder
    EXPECT_GT(log.removed, 1);
    ASSERT_FALSE(log.changed.empty());
    for (const auto& [from, to] : log.changed)
        EXPECT_EQ(from, to) << "a change covered more than one row";
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "downloading"), statuses.end());
}
