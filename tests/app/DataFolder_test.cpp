#include "AppTestEnv.h"
#include "Peers.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <unistd.h>

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// This test binary doubles as a second program: started with
// VEXA_TEST_LOCK_HOLDER=DIR it takes the lock of DIR before any test runs,
// reports "LOCKED pid" (or "REFUSED message"), and holds the lock until its
// standard input closes.
struct LockHolderMode {
    LockHolderMode() {
        const char* folder = std::getenv("VEXA_TEST_LOCK_HOLDER");
        if (!folder)
            return;
        DataFolderLock lock;
        if (!lock.Acquire(folder)) {
            std::printf("REFUSED %s\n", lock.Error().c_str());
            std::fflush(stdout);
            ::_exit(3);
        }
        std::printf("LOCKED %ld\n", static_cast<long>(::getpid()));
        std::fflush(stdout);
        char c;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
        lock.Release();
        ::_exit(0);
    }
} lockHolderMode;

class LockHolder {
public:
    explicit LockHolder(const std::string& folder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VEXA_TEST_LOCK_HOLDER", QString::fromStdString(folder));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=-*"});
        process.waitForStarted(10000);
        while (!output.contains('\n') && process.waitForReadyRead(10000))
            output += process.readAllStandardOutput();
        output += process.readAllStandardOutput();
    }
    ~LockHolder() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
    std::string FirstLine() const { return output.left(output.indexOf('\n')).toStdString(); }
    long Pid() const { return static_cast<long>(process.processId()); }

    QProcess process;
    QByteArray output;
};

class DataFolderTest : public AppTestEnv {};

bool Exists(const std::string& path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

} // namespace

TEST_F(DataFolderTest, FolderRule) {
    const std::string cwd = QDir::currentPath().toStdString() + "/";
    const DataFolderResult byDefault = ResolveDataFolder(std::nullopt);
    EXPECT_EQ(byDefault.path, root.File("data/vexa2/"));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(byDefault.path)).isDir());
    EXPECT_EQ(QFile::permissions(QString::fromStdString(byDefault.path)) &
                  (QFile::ReadOther | QFile::ReadGroup),
              0);

    const DataFolderResult given = ResolveDataFolder(root.File("a/b/c"));
    EXPECT_EQ(given.path, root.File("a/b/c/"));
    EXPECT_TRUE(Exists(given.path));

    const std::string relative = "vexa-rel-" + std::to_string(::getpid());
    const DataFolderResult rel = ResolveDataFolder(relative);
    EXPECT_EQ(rel.path, cwd + relative + "/");
    QDir(QString::fromStdString(rel.path)).removeRecursively();

    WriteFile(root.File("plainfile"), "x");
    const DataFolderResult blocked = ResolveDataFolder(root.File("plainfile/sub"));
    EXPECT_EQ(blocked.path, "");
    EXPECT_EQ(blocked.error.rfind(
                  "Cannot create the data folder " + root.File("plainfile/sub/") + ": ", 0),
              0u)
        << blocked.error;

    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", root.Path().c_str(), 1);
    EXPECT_EQ(ResolveDataFolder(std::nullopt).path, root.File(".local/share/vexa2/"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(ResolveDataFolder(std::nullopt).path, root.File(".local/share/vexa2/"));
}

TEST_F(DataFolderTest, CommandLine) {
    const CommandLine a = ParseCommandLine({"--headless", "--data-dir", "/srv/v", "my.ini"});
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.dataDir, std::optional<std::string>("/srv/v"));
    EXPECT_EQ(a.options, std::vector<std::string>{"--headless"});
    EXPECT_EQ(a.positional, std::vector<std::string>{"my.ini"});
    EXPECT_EQ(ParseCommandLine({"--data-dir=/x"}).dataDir, std::optional<std::string>("/x"));
    EXPECT_EQ(ParseCommandLine({"--data-dir"}).error, "--data-dir needs a folder name");
    EXPECT_EQ(ParseCommandLine({"--data-dir="}).error, "--data-dir needs a folder name");
}

TEST_F(DataFolderTest, SecondProgramOnTheSameFolderIsRefused) {
    const std::string folder = ResolveDataFolder(std::nullopt).path;
    LockHolder first(folder);
    ASSERT_EQ(first.FirstLine(), "LOCKED " + std::to_string(first.Pid()));
    EXPECT_EQ(ReadLockOwner(folder), std::optional<long>(first.Pid()));

    const std::string refusal = "The data folder " + folder +
                                " is in use by another Vexa program (process " +
                                std::to_string(first.Pid()) +
                                "). Close that program or choose another folder with --data-dir.";
    LockHolder second(folder);
    ASSERT_TRUE(second.process.waitForFinished(10000));
    EXPECT_EQ(second.process.exitCode(), 3);
    EXPECT_EQ(second.FirstLine(), "REFUSED " + refusal);

    DataFolderLock here;
    EXPECT_FALSE(here.Acquire(folder));
    EXPECT_EQ(here.Error(), refusal);
    EXPECT_FALSE(here.Held());

    // Another folder is free.
    DataFolderLock elsewhere;
    EXPECT_TRUE(elsewhere.Acquire(ResolveDataFolder(root.File("other")).path)) << elsewhere.Error();

    // A clean exit removes the lock file.
    first.process.closeWriteChannel();
    ASSERT_TRUE(first.process.waitForFinished(10000));
    EXPECT_EQ(first.process.exitCode(), 0);
    EXPECT_FALSE(Exists(folder + "vexa2.lock"));
}

TEST_F(DataFolderTest, LockOfAKilledProgramIsTakenOver) {
    const std::string folder = ResolveDataFolder(std::nullopt).path;
    long deadPid = 0;
    {
        LockHolder holder(folder);
        ASSERT_EQ(holder.FirstLine().rfind("LOCKED ", 0), 0u);
        deadPid = holder.Pid();
        holder.process.kill(); // SIGKILL: no chance to clean up
        ASSERT_TRUE(holder.process.waitForFinished(10000));
    }
    ASSERT_TRUE(Exists(folder + "vexa2.lock"));
    EXPECT_EQ(ReadLockOwner(folder), std::optional<long>(deadPid));

    DataFolderLock lock;
    ASSERT_TRUE(lock.Acquire(folder)) << lock.Error();
    EXPECT_EQ(lock.TakenOverFrom(), std::optional<long>(deadPid));
    EXPECT_EQ(ReadFile(folder + "vexa2.lock"), std::to_string(::getpid()) + "\n");

    // And while we hold it, another program is refused.
    LockHolder late(folder);
    ASSERT_TRUE(late.process.waitForFinished(10000));
    EXPECT_NE(late.FirstLine().find("(process " + std::to_string(::getpid()) + ")"),
              std::string::npos)
        << late.FirstLine();

    lock.Release();
    EXPECT_FALSE(Exists(folder + "vexa2.lock"));
}
