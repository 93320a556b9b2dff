// The transfer queue on a whole shell, against our own server and vsftpd:
// recursive transfers compared byte for byte, the file-exists question,
// Stop, delete requests, totals, and the queue emptied on disconnect.
#include "support/QueueEnv.h"
#include "support/peers/VsftpdPeer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Downloads remoteRoot/"tree" into the local folder and uploads it back as
// "up tree", both by recursion, and compares each copy with the original.
void TreeRoundTrip(QueueEnv& env, const std::string& remoteRoot) {
    MakeTree(remoteRoot + "tree");
    fs::create_symlink("a file.txt", remoteRoot + "tree/link to a");
    ASSERT_TRUE(env.Connect());
    const auto original = TreeOf(remoteRoot + "tree");
    std::vector<std::string> panel; // where the local panel was moved
    env.Queue().OnLocalFolderChanged = [&](const std::string& f) { panel.push_back(f); };

    env.Queue().AddDownloads(env.Items({"tree"}), env.local);
    ASSERT_EQ(env.Queue().Entries().size(), 1u);
    EXPECT_EQ(env.Queue().Entries()[0].Icon, QueueIcon::Directory);
    ASSERT_TRUE(env.RunQueue());
    EXPECT_TRUE(env.Queue().Entries().empty());
    EXPECT_EQ(TreeOf(env.local + "tree"), original);
    EXPECT_FALSE(fs::exists(env.local + "tree/link to a")) << "a link was queued";
    EXPECT_FALSE(env.LineStarting("Received Directory ").empty());
    ASSERT_FALSE(panel.empty());
    EXPECT_EQ(panel.front(), env.local + "tree");
    const std::string inner =
        env.LineStarting("Downloaded " + env.local + "tree/sub dir/inner.bin");
    EXPECT_NE(inner.find(" (300000 bytes) in "), std::string::npos) << inner;
    EXPECT_NE(inner.find(" Kb/sec)."), std::string::npos) << inner;

    // Upload from a folder named with a space into the directory shown.
    fs::rename(env.local + "tree", env.local + "up tree");
    env.Client().ShowRemotePath(remoteRoot.substr(0, remoteRoot.size() - 1));
    LocalItem folder{"up tree", 0, true};
    env.Queue().AddUploads({folder}, env.local);
    ASSERT_TRUE(env.RunQueue());
    EXPECT_TRUE(env.Queue().Entries().empty());
    EXPECT_EQ(TreeOf(remoteRoot + "up tree"), original);
    EXPECT_FALSE(env.LineStarting("Uploaded " + remoteRoot + "up tree/sub dir/inner.bin").empty());
    EXPECT_TRUE(env.LineStarting("ERROR").empty()) << env.LineStarting("ERROR");
}

} // namespace

TEST(TransferQueue, TreeRoundTripOnOurServer) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    TreeRoundTrip(env, env.served);
}

TEST(TransferQueue, TreeRoundTripOnVsftpd) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    QueueEnv env;
    env.PointClientAt(peer.Port(), VsftpdPeer::User(), VsftpdPeer::Password());
    TreeRoundTrip(env, peer.Root());
}

TEST(TransferQueue, ResumeOntoASmallerLocalFileCountsTheNewBytesOnly) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    QueueEnv env;
    env.PointClientAt(peer.Port(), VsftpdPeer::User(), VsftpdPeer::Password());
    const std::string data = PatternBytes(250000, 3);
    WriteFile(peer.Root() + "big.bin", data);
    WriteFile(env.local + "big.bin", data.substr(0, 100000));
    ASSERT_TRUE(env.Connect());

    env.Queue().AddDownloads(env.Items({"big.bin"}), env.local);
    EXPECT_EQ(env.Queue().Entries()[0].LocalSize, 100000);
    ASSERT_TRUE(env.RunQueue()); // unanswered by script: the default
    ASSERT_EQ(env.prompts.fileExistsAsked.size(), 1u);
    EXPECT_EQ(env.prompts.fileExistsAsked[0].defaultAnswer, FileExistsAnswer::Resume);
    EXPECT_EQ(ReadFile(env.local + "big.bin"), data);
    EXPECT_TRUE(env.Logged("SEND -> REST 100000", colours::clMaroon));
    const std::string done = env.LineStarting("Downloaded ");
    EXPECT_EQ(done.rfind("Downloaded " + env.local + "big.bin (150000 bytes) in ", 0), 0u) << done;
}

TEST(TransferQueue, OverwriteAndSkipBothWays) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "one.txt", "remote one, longer");
    WriteFile(env.served + "two.txt", "remote two");
    WriteFile(env.local + "one.txt", "local one");
    WriteFile(env.local + "two.txt", "local two!");
    WriteFile(env.local + "three.txt", "local three");
    WriteFile(env.served + "three.txt", "remote three, longer");
    ASSERT_TRUE(env.Connect());

    env.prompts.fileExistsAnswers = {FileExistsAnswer::Overwrite, FileExistsAnswer::Skip,
                                     FileExistsAnswer::Skip};
    env.Queue().AddDownloads(env.Items({"one.txt", "two.txt"}), env.local);
    env.Queue().AddUploads({{"three.txt", 11, false}}, env.local);
    ASSERT_EQ(env.Queue().Entries().size(), 3u);
    EXPECT_EQ(env.Queue().Entries()[2].RemoteSize, 20);
    ASSERT_TRUE(env.RunQueue());

    ASSERT_EQ(env.prompts.fileExistsAsked.size(), 3u);
    EXPECT_TRUE(env.prompts.fileExistsAsked[2].upload);
    // The remote file is already longer: Skip, and Resume is not offered.
    EXPECT_EQ(env.prompts.fileExistsAsked[2].defaultAnswer, FileExistsAnswer::Skip);
    EXPECT_FALSE(env.prompts.fileExistsAsked[2].resumeAllowed);
    EXPECT_EQ(ReadFile(env.local + "one.txt"), "remote one, longer");
    EXPECT_EQ(ReadFile(env.local + "two.txt"), "local two!");
    EXPECT_EQ(ReadFile(env.served + "three.txt"), "remote three, longer");
    EXPECT_TRUE(env.Logged("Skipped " + env.local + "two.txt", colours::clGreen));
    EXPECT_TRUE(env.Logged("Skipped " + env.served + "three.txt", colours::clGreen));
    EXPECT_TRUE(env.Queue().Entries().empty());
}

TEST(TransferQueue, TheCountdownTakesTheDefaultAnswer) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "same.txt", "12345");
    WriteFile(env.local + "same.txt", "abcde");
    WriteFile(env.served + "grow.txt", "0123456789");
    WriteFile(env.local + "grow.txt", "0123");
    ASSERT_TRUE(env.Connect());
    env.prompts.holdFileExists = true;
    env.Queue().CountdownMs = 100;

    env.Queue().AddDownloads(env.Items({"same.txt", "grow.txt"}), env.local);
    ASSERT_TRUE(env.RunQueue(20000));
    ASSERT_EQ(env.prompts.fileExistsAsked.size(), 2u);
    EXPECT_EQ(env.prompts.fileExistsAsked[0].countdownSeconds, 1);
    EXPECT_EQ(env.prompts.fileExistsWithdrawn, 2);
    // Equal sizes: Skip. A smaller local file: Resume.
    EXPECT_TRUE(env.Logged("Skipped " + env.local + "same.txt", colours::clGreen));
    EXPECT_EQ(ReadFile(env.local + "same.txt"), "abcde");
    EXPECT_EQ(ReadFile(env.local + "grow.txt"), "0123456789");
    EXPECT_TRUE(env.Logged("SEND -> REST 4", colours::clMaroon));
}

TEST(TransferQueue, StopEndsTheRunningDownloadAndTheQueueGoesOn) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "huge.bin", PatternBytes(64u << 20, 5));
    WriteFile(env.served + "small.txt", "small");
    ASSERT_TRUE(env.Connect());

    // Stop is pressed while the first data block arrives.
    TFtpClient& ftp = env.shell->Ftp();
    auto inner = ftp.OnProgress;
    bool pressed = false;
    ftp.OnProgress = [&](TCustomFtpCli* sender, std::int64_t count, bool& abort) {
        if (!pressed && count > 0) {
            pressed = true;
            env.Queue().Stop();
        }
        inner(sender, count, abort);
    };
    env.Queue().AddDownloads(env.Items({"huge.bin", "small.txt"}), env.local);
    ASSERT_TRUE(env.RunQueue());
    ftp.OnProgress = inner;

    EXPECT_TRUE(pressed);
    EXPECT_TRUE(env.Logged("Aborting...", colours::clRed));
    EXPECT_TRUE(env.Logged("Failed to download " + env.served + "huge.bin", colours::clRed));
    EXPECT_TRUE(env.LineStarting("Downloaded " + env.local + "huge.bin").empty());
    EXPECT_LT(fs::file_size(env.local + "huge.bin"), 64u << 20);
    EXPECT_EQ(ReadFile(env.local + "small.txt"), "small");
    EXPECT_TRUE(env.Queue().Entries().empty());
}

TEST(TransferQueue, DeleteRequestsForFilesAndFolders) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "old file.txt", "x");
    fs::create_directories(env.served + "old dir");
    fs::create_directories(env.served + "full dir");
    WriteFile(env.served + "full dir/keep", "k");
    ASSERT_TRUE(env.Connect());

    env.Queue().AddDeletes(env.Items({"old file.txt", "old dir", "full dir"}));
    ASSERT_EQ(env.Queue().Entries().size(), 3u);
    EXPECT_EQ(env.Queue().Entries()[0].Direction, "del");
    EXPECT_EQ(env.Queue().Entries()[0].Local, "");
    ASSERT_TRUE(env.RunQueue());
    EXPECT_FALSE(fs::exists(env.served + "old file.txt"));
    EXPECT_FALSE(fs::exists(env.served + "old dir"));
    EXPECT_TRUE(fs::exists(env.served + "full dir/keep"));
    EXPECT_TRUE(env.Logged("Deleted " + env.served + "old file.txt", colours::clBlue));
    EXPECT_TRUE(env.Logged("Removed directory " + env.served + "old dir", colours::clBlue));
    EXPECT_TRUE(
        env.Logged("Failed to remove directory " + env.served + "full dir", colours::clRed));
    // The remote list is read again once the queue is done.
    ASSERT_TRUE(RunLoopUntil([&] { return env.Client().RemoteItems().size() == 1; }));
}

TEST(TransferQueue, TotalsAfterEachChangeAndLinksNeverQueued) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "a.txt", std::string(10, 'a'));
    WriteFile(env.served + "b.txt", std::string(20, 'b'));
    fs::create_symlink("a.txt", env.served + "ln");
    WriteFile(env.local + "c.txt", std::string(7, 'c'));
    ASSERT_TRUE(env.Connect());
    TransferQueue& q = env.Queue();
    auto totals = [&] { return q.Totals().Count + "/" + q.Totals().Bytes + "/" + q.Totals().Kind; };

    q.AddDownloads(env.Items({"a.txt", "b.txt", "ln"}), env.local);
    EXPECT_EQ(totals(), "2/30/File");
    EXPECT_TRUE(env.Client().Groups().TransferQueue);
    EXPECT_EQ(q.Entries()[0].Remote, env.served + "a.txt");
    EXPECT_EQ(q.Entries()[0].Local, env.local + "a.txt");
    EXPECT_EQ(q.Entries()[0].Host, "own");
    q.AddUploads({{"c.txt", 7, false}}, env.local);
    EXPECT_EQ(totals(), "3/37/File");
    EXPECT_EQ(q.Entries()[2].RemoteSize, 0);
    q.AddDeletes(env.Items({"b.txt"}));
    EXPECT_EQ(totals(), "4/57/File");
    q.Remove({q.Entries()[1].Id});
    EXPECT_EQ(totals(), "3/37/File");
    q.RemoveAll();
    EXPECT_EQ(totals(), "0/0/File");
    EXPECT_FALSE(env.Client().Groups().TransferQueue);
}

TEST(TransferQueue, TheRunnerPassesOverEntriesAlreadyRunning) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "first.txt", "first");
    WriteFile(env.served + "second.txt", "second");
    ASSERT_TRUE(env.Connect());
    TransferQueue& q = env.Queue();

    // The engine is busy with a listing when the queue starts: the entry
    // cannot start and stays "downloading", said in red.
    q.AddDownloads(env.Items({"first.txt"}), env.local);
    env.Client().Refresh();
    q.Run();
    ASSERT_TRUE(RunLoopUntil([&] { return !q.Busy() && !env.Client().TransferRunning(); }));
    ASSERT_TRUE(RunLoopUntil([&] { return env.Client().Groups().RemoteUp; }));
    ASSERT_EQ(q.Entries().size(), 1u);
    EXPECT_EQ(q.Entries()[0].Status, "downloading");
    EXPECT_TRUE(env.Logged("Vexa component not ready", colours::clRed));

    // Only a "downloading" entry: nothing starts.
    const std::size_t lines = env.sink.lines.size();
    q.Run();
    RunLoopFor(200);
    EXPECT_EQ(env.sink.lines.size(), lines);
    EXPECT_FALSE(q.Busy());

    q.AddDownloads(env.Items({"second.txt"}), env.local);
    ASSERT_TRUE(env.RunQueue());
    EXPECT_EQ(ReadFile(env.local + "second.txt"), "second");
    EXPECT_FALSE(fs::exists(env.local + "first.txt"));
    ASSERT_EQ(q.Entries().size(), 1u);
    EXPECT_EQ(q.Entries()[0].Remote, env.served + "first.txt");
}

TEST(TransferQueue, IsEmptiedWhenTheConnectionCloses) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "a.txt", "remote");
    WriteFile(env.local + "a.txt", "loc");
    ASSERT_TRUE(env.Connect());
    env.prompts.holdFileExists = true;
    TransferQueue& q = env.Queue();
    q.AddDownloads(env.Items({"a.txt", "a.txt"}), env.local);
    q.Run();
    ASSERT_TRUE(RunLoopUntil([&] { return env.prompts.fileExistsAsked.size() == 1; }));

    env.Client().Disconnect();
    ASSERT_TRUE(RunLoopUntil([&] { return q.Entries().empty(); }));
    EXPECT_EQ(q.Totals().Count, "");
    EXPECT_EQ(q.Totals().Bytes, "");
    EXPECT_FALSE(q.Busy());
    EXPECT_EQ(env.prompts.fileExistsWithdrawn, 1);
    EXPECT_FALSE(env.Client().Groups().TransferQueue);
    EXPECT_EQ(ReadFile(env.local + "a.txt"), "loc");
}

TEST(TransferQueue, ListedNamesThatArePathsAreNotQueued) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    ASSERT_TRUE(env.Connect());
    RemoteItem evil{RemoteIcon::File, "../escape.txt", 5, kNoTime, "5", ""};
    RemoteItem dots{RemoteIcon::Folder, "..", 0, kNoTime, "0", ""};
    RemoteItem fine{RemoteIcon::File, "fine.txt", 5, kNoTime, "5", ""};
    env.Queue().AddDownloads({evil, dots, fine}, env.local);
    ASSERT_EQ(env.Queue().Entries().size(), 1u);
    EXPECT_EQ(env.Queue().Entries()[0].Local, env.local + "fine.txt");
    EXPECT_TRUE(env.Logged("Not queued, unsafe name: ../escape.txt", colours::clRed));
}

TEST(TransferQueue, ADirectoryThatCannotBeEnteredQueuesNothing) {
    VsftpdPeer peer;
    ASSERT_TRUE(peer.Started());
    QueueEnv env;
    env.PointClientAt(peer.Port(), VsftpdPeer::User(), VsftpdPeer::Password());
    // A refused CWD leaves the server in the folder above, which holds the
    // locked folder again: that listing must never be queued as its contents.
    fs::create_directories(peer.Root() + "locked");
    WriteFile(peer.Root() + "locked/secret", "s");
    ::chmod((peer.Root() + "locked").c_str(), 0700);
    WriteFile(peer.Root() + "after.txt", "after");
    ASSERT_TRUE(env.Connect());

    env.Queue().AddDownloads(env.Items({"locked", "after.txt"}), env.local);
    ASSERT_TRUE(env.RunQueue());
    EXPECT_TRUE(env.Logged("ERROR creating/changing into directory " + env.Client().RemotePath() +
                               "/locked",
                           colours::clRed));
    EXPECT_FALSE(fs::exists(env.local + "locked"));
    EXPECT_EQ(ReadFile(env.local + "after.txt"), "after");
    EXPECT_TRUE(env.Queue().Entries().empty());
}

TEST(TransferQueue, IsEmptiedByADisconnectDuringADownload) {
    QueueEnv env;
    ASSERT_TRUE(env.StartServer());
    WriteFile(env.served + "huge.bin", PatternBytes(16u << 20, 5));
    WriteFile(env.served + "next.txt", "next");
    ASSERT_TRUE(env.Connect());
    // The user disconnects once the server has sent the first block, before
    // it sends the next one.
    TFtpServer& server = env.shell->Server();
    auto inner = server.OnRetrDataSent;
    bool pressed = false;
    server.OnRetrDataSent = [&](TFtpServer* sender, TFtpCtrlSocket* client, TWSocket* data,
                                int error) {
        if (!pressed) {
            pressed = true;
            env.Client().Disconnect();
        }
        inner(sender, client, data, error);
    };
    env.Queue().AddDownloads(env.Items({"huge.bin", "next.txt"}), env.local);
    env.Queue().Run();
    ASSERT_TRUE(RunLoopUntil([&] { return pressed && env.Queue().Entries().empty(); }, 30000));
    RunLoopFor(200);
    server.OnRetrDataSent = inner;
    EXPECT_FALSE(env.Queue().Busy());
    EXPECT_FALSE(env.Client().TransferRunning());
    EXPECT_EQ(env.Queue().Totals().Count, "");
    EXPECT_TRUE(env.LineStarting("Downloaded ").empty());
    EXPECT_FALSE(fs::exists(env.local + "next.txt"));
}
