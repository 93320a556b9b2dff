// The server engine answered by ServerOwner, driven by real clients
// (python3 ftplib and curl) on loopback.
#include "OwnerFixture.h"
#include "base/Version.h"
#include "support/ScriptedPrompts.h"

using namespace owner_test;

TEST_F(Owner, DenyModeDecidesOnLoopbackAddress) {
    lists.IpList = {"10.0.0.*", "127.0.0.*", "127.0.0.1"};
    policy.ipMode = IpMode::Deny;
    auto out = Session({"NOOP"});
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(StartsWith(out[0], "ERR connect")) << out[0];
    EXPECT_EQ(log.Count(texts::kDeniedMatch), 2);
    bool deniedLine = false;
    for (const auto& l : log.lines)
        if (StartsWith(l.text, "Denied Access For 127.0.0.1:") && l.colour == colours::clRed)
            deniedLine = true;
    EXPECT_TRUE(deniedLine);

    lists.IpList = {"10.0.0.*"};
    out = Session({"NOOP"});
    EXPECT_EQ(out[0], std::string("220 ") + kVersionText);
}

TEST_F(Owner, EveryRowOfALongListIsEnforced) {
    std::string ipRows, pairRows;
    for (int i = 1; i < 300; ++i)
        ipRows += "10.9." + std::to_string(i) + ".\r\n";
    for (int i = 1; i <= 300; ++i)
        pairRows += root + "/\r\n/v" + std::to_string(i) + "/\r\n";
    WriteFile(data.File(kIpListFile), ipRows + "127.0.0.1\r\n"); // row 300
    WriteFile(data.File(kVirtMapFile), pairRows);
    lists.Load(data.Path());
    policy.ipMode = IpMode::Deny;
    EXPECT_EQ(server.VirtMapTable.size(), 300u);
    EXPECT_EQ(server.VirtMapTable.back().VirtMap, "/v300/");
    auto out = Session({"NOOP"});
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(StartsWith(out[0], "ERR connect")) << out[0];
}

TEST_F(Owner, AllowModeRefusesWithNoGreeting) {
    policy.ipMode = IpMode::Allow;
    lists.IpList = {"10.0.0.*"};
    auto out = Session({"NOOP"});
    EXPECT_TRUE(StartsWith(out.at(0), "ERR connect")) << out[0];
    lists.IpList = {"127.*"};
    out = Session({"NOOP"});
    EXPECT_EQ(out.at(0), std::string("220 ") + kVersionText);
    EXPECT_EQ(log.Count(texts::kAllowedMatch), 1);
}

TEST_F(Owner, MessageFilesCarryTheirPrefixes) {
    WriteFile(data.File("connect.txt"), "Welcome\r\n\r\nBe nice\r\n");
    WriteFile(data.File("login.txt"), "Hello\nthere\n");
    WriteFile(data.File("logout.txt"), "Bye\n");
    policy.connectMessage = data.File("connect.txt");
    policy.loginMessage = data.File("login.txt");
    policy.logoutMessage = data.File("logout.txt");
    NewUser("bob", "pw");
    StoreUsers();
    auto out = Session({"USER bob", "PASS pw", "QUIT"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], std::string("220-Welcome | 220- | 220-Be nice | 220 ") + kVersionText);
    EXPECT_EQ(out[2], "230-Hello | 230-there | 230 User bob logged in.");
    EXPECT_EQ(out[3], "221-Bye | 221 Goodbye.");
    EXPECT_EQ(log.Count("RECV <- USER bob "), 1);
    EXPECT_EQ(log.Count("SEND -> 331 Password required for bob."), 1);
    EXPECT_TRUE(RunLoopUntil([&] { return log.Count(texts::CleanDisconnect("127.0.0.1")) == 1; }));
    EXPECT_TRUE(owner->Rows().empty());
}

TEST_F(Owner, AnonymousAndHomeDirectoryChoice) {
    MakeDir("/user");
    MakeDir("/group");
    MakeDir("/default");
    GroupRecord none{}, withHome{};
    none.Name.Set("none");
    withHome.Name.Set("withhome");
    withHome.HomeDirectory.Set(root + "/group");
    ASSERT_TRUE(files.Groups().Append(none));
    ASSERT_TRUE(files.Groups().Append(withHome));
    NewUser("ANONYMOUS", "ignored");
    NewUser("own", "p").HomeDirectory.Set(root + "/user");
    auto& grouped = NewUser("grouped", "p");
    grouped.GroupMembership[0].Set("none");
    grouped.GroupMembership[1].Set("gone");
    grouped.GroupMembership[2].Set("withhome");
    NewUser("plain", "p");
    StoreUsers();
    policy.defaultHomeDirectory = root + "/default";
    auto out = Session({"USER ANONYMOUS", "PASS guest@example.org", "PWD"});
    EXPECT_EQ(out.at(2), "230 User ANONYMOUS logged in.");
    EXPECT_EQ(out.at(3), "257 \"" + root + "/default/\" is current directory.");
    out = Session({"USER anonymous", "PASS x"});
    EXPECT_EQ(out.at(2), "ERR 530 Login incorrect.");
    out = Session({"USER own", "PASS p", "PWD"});
    EXPECT_EQ(out.at(3), "257 \"" + root + "/user/\" is current directory.");
    out = Session({"USER grouped", "PASS p", "PWD"});
    EXPECT_EQ(out.at(3), "257 \"" + root + "/group/\" is current directory.");
}

TEST_F(Owner, RightsTableAgainstRealCommands) {
    for (const char* d : {"/pub", "/pub/sub", "/drop", "/tree", "/tree/deep", "/mk", "/mk2"})
        MakeDir(d);
    WriteFile(root + "/pub/a.txt", "alpha");
    WriteFile(root + "/pub/sub/b.txt", "beta");
    WriteFile(root + "/tree/deep/c.txt", "gamma");
    GroupRecord staff{};
    staff.Name.Set("staff");
    Grant(staff.Access, root + "/pub", {Right::Read, Right::Delete});
    ASSERT_TRUE(files.Groups().Append(staff));
    auto& u = NewUser("u", "p");
    u.HomeDirectory.Set(root + "/pub");
    Grant(u.Access, root + "/pub", {Right::List}); // combined with the group's Read
    Grant(u.Access, root + "/drop", {Right::Write, Right::Create}); // no Inherit
    Grant(u.Access, root + "/tree", {Right::Read, Right::List, Right::Inherit});
    Grant(u.Access, root + "/mk", {Right::Create, Right::Write, Right::Inherit});
    Grant(u.Access, root + "/mk2", {Right::Create, Right::Inherit});
    u.GroupMembership[0].Set("staff");
    StoreUsers();
    std::vector<ConnectionRow> seen;
    owner->OnListChanged = [&] {
        for (const auto& r : owner->Rows())
            seen.push_back(r);
    };
    struct Step {
        std::string command;
        std::string expect; // prefix of the printed reply
    } steps[] = {
        {"RETR a.txt", "226 File sent ok b'alpha'"},                      // user List + group Read
        {"RETR sub/b.txt", "ERR 500 Cannot RETR - Insufficient Rights."}, // no Inherit below /pub
        {"RETR " + root + "/tree/deep/c.txt", "226 File sent ok b'gamma'"}, // Inherit
        {"CWD sub", "ERR 501 CWD failed. No permission"},
        {"CWD " + root + "/missing", "ERR 501 CWD failed."},
        {"STOR " + root + "/drop/up.txt", "226"},
        {"MKD " + root + "/drop/newdir", "ERR 5"}, // below /drop without Inherit
        {"MKD " + root + "/mk/newdir", "257"},     // Create + Write + Inherit
        {"MKD " + root + "/mk2/newdir", "ERR 5"},  // Create without Write
        {"CWD " + root + "/tree/deep", "250"},
        {"LIST", "226"},
        {"DELE " + root + "/tree/deep/c.txt", "ERR 500 Cannot DELE - Insufficient Rights."},
        {"DELE " + root + "/pub/a.txt", "250"}, // group Delete
    };
    std::vector<std::string> commands{"USER u", "PASS p"};
    for (const auto& s : steps)
        commands.push_back(s.command);
    auto out = Session(commands);
    ASSERT_EQ(out.size(), commands.size() + 1);
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_TRUE(StartsWith(out[i + 3], steps[i].expect))
            << steps[i].command << " -> " << out[i + 3];
    EXPECT_EQ(ReadFile(root + "/drop/up.txt"), "uploaded");
    EXPECT_FALSE(FileExists(root + "/pub/a.txt"));
    EXPECT_TRUE(FileExists(root + "/tree/deep/c.txt"));
    bool deniedDele = false;
    for (const auto& r : seen)
        if (r.Action == "DELE" && r.Location == root + "/tree/deep/c.txt" &&
            r.Progress == "Denied" && r.UserName == "u")
            deniedDele = true;
    EXPECT_TRUE(deniedDele);
}

TEST_F(Owner, TraversalNeverLeavesTheGrantedDirectory) {
    for (const char* d : {"/home", "/outside"})
        MakeDir(d);
    WriteFile(root + "/home/a.txt", "inside");
    WriteFile(root + "/outside/secret.txt", "secret");
    WriteFile(root + "/outside/target.txt", "target");
    WriteFile(root + "/x", "beside");
    ASSERT_EQ(::symlink((root + "/outside").c_str(), (root + "/home/out").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/outside/secret.txt").c_str(), (root + "/home/lnk.txt").c_str()),
              0);
    ASSERT_EQ(::symlink((root + "/outside/new.txt").c_str(), (root + "/home/dangling").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/outside/target.txt").c_str(), (root + "/home/victim").c_str()),
              0);
    JailedUser("jail", root + "/home");
    StoreUsers();
    const std::string tmpTarget = "/tmp/vexa-accounts-" + std::to_string(::getpid());
    struct Step {
        std::string command;
        std::string expect;
    } steps[] = {
        {"RETR ../../etc/passwd", "ERR 5"},
        {"RETR ../../../../../../../../etc/passwd", "ERR 5"},
        {"RETR ../outside/secret.txt", "ERR 5"},
        {"CWD /etc", "ERR 501 CWD failed. No permission"},
        {"STOR " + tmpTarget, "ERR 5"},
        {"STOR /bin", "ERR 501 Permission Denied"}, // rights first: nothing told of the disk
        {"STOR ../outside/up.txt", "ERR 5"},
        {"RNFR a.txt", "350"},
        {"RNTO ../x", "ERR 5"},
        {"MKD ../x", "ERR 5"},
        {"MKD ../newdir", "ERR 5"},
        {"LIST /etc", "ERR 451 Failed: No permission."},
        {"NLST ..", "226 File sent ok ['home']"}, // only the way to the grant
        {"LIST out", "ERR 451 Failed: No permission."},
        {"SIZE /etc/passwd", "ERR 550"},
        {"SIZE ../outside/secret.txt", "ERR 550"},
        {"MDTM ../x", "ERR 5"},
        {"RETR out/secret.txt", "ERR 5"},
        {"RETR lnk.txt", "ERR 5"},
        {"STOR lnk.txt", "ERR 5"},
        {"STOR dangling", "ERR 5"},
        {"CWD out", "ERR 501 CWD failed. No permission"},
        {"DELE victim", "250"},
        {"SIZE a.txt", "213 6"},
        {"RETR a.txt", "226 File sent ok b'inside'"},
    };
    std::vector<std::string> commands{"USER jail", "PASS p"};
    for (const auto& s : steps)
        commands.push_back(s.command);
    auto out = Session(commands);
    ASSERT_EQ(out.size(), commands.size() + 1);
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_TRUE(StartsWith(out[i + 3], steps[i].expect))
            << steps[i].command << " -> " << out[i + 3];
    for (const auto& line : out)
        EXPECT_EQ(line.find("secret"), std::string::npos) << line;
    EXPECT_FALSE(FileExists(tmpTarget));
    EXPECT_FALSE(FileExists(root + "/outside/up.txt"));
    EXPECT_FALSE(FileExists(root + "/outside/new.txt"));
    EXPECT_EQ(ReadFile(root + "/outside/secret.txt"), "secret");
    EXPECT_EQ(ReadFile(root + "/x"), "beside");
    EXPECT_EQ(ReadFile(root + "/home/a.txt"), "inside");
    struct stat st {};
    EXPECT_NE(::lstat((root + "/home/victim").c_str(), &st), 0); // the link went
    EXPECT_EQ(ReadFile(root + "/outside/target.txt"), "target"); // its target stayed

    // curl too: a granted file comes down, a path out of the grant does not.
    Peer good("/usr/bin/curl",
              {"-sS", "ftp://jail:p@127.0.0.1:" + std::to_string(port) + "/a.txt"});
    ASSERT_TRUE(good.Finish());
    EXPECT_EQ(good.Out(), "inside");
    Peer bad("/usr/bin/curl",
             {"-sS", "ftp://jail:p@127.0.0.1:" + std::to_string(port) + "/%2Fetc/passwd"});
    ASSERT_TRUE(bad.Finish());
    EXPECT_TRUE(bad.Out().empty()) << bad.Out();
}

TEST_F(Owner, IdleTimeoutDrivenByTicks) {
    policy.idleCount = 60;
    NewUser("bob", "pw");
    StoreUsers();
    Peer peer("/usr/bin/python3", {VEXA_SOURCE_DIR "/tests/accounts/ftp_driver.py",
                                   std::to_string(port), "USER bob", "PASS pw", "WAIT"});
    ASSERT_TRUE(RunLoopUntil([&] { return peer.Out().find("READY") != std::string::npos; }));
    ASSERT_EQ(owner->Rows().size(), 1u);
    for (int i = 0; i < 12; ++i) // 60 seconds: not yet beyond the limit
        owner->IdleTick();
    RunLoopFor(200);
    EXPECT_EQ(peer.Out().find("221"), std::string::npos);
    owner->IdleTick(); // 65 seconds
    ASSERT_TRUE(peer.Finish());
    EXPECT_NE(peer.Out().find("221 Idle timeout expired.  Goodbye."), std::string::npos)
        << peer.Out();
    bool logged = false;
    for (const auto& l : log.lines)
        if (StartsWith(l.text, "Disconnecting bob (127.0.0.1:") &&
            l.text.find(") due to 60 seconds of inactivity.") != std::string::npos &&
            l.colour == colours::clGreen)
            logged = true;
    EXPECT_TRUE(logged);
    EXPECT_TRUE(RunLoopUntil([&] { return owner->Rows().empty(); }));
}

TEST_F(Owner, KickAllUsersClosesEveryConnection) {
    NewUser("bob", "pw");
    StoreUsers();
    EXPECT_FALSE(owner->KickAllEnabled());
    const std::string script = VEXA_SOURCE_DIR "/tests/accounts/ftp_driver.py";
    Peer one("/usr/bin/python3", {script, std::to_string(port), "USER bob", "PASS pw", "WAIT"});
    Peer two("/usr/bin/python3", {script, std::to_string(port), "USER bob", "PASS pw", "WAIT"});
    ASSERT_TRUE(RunLoopUntil([&] {
        return one.Out().find("READY") != std::string::npos &&
               two.Out().find("READY") != std::string::npos;
    }));
    EXPECT_EQ(owner->Rows().size(), 2u);
    EXPECT_EQ(owner->StatusText(), "ONLINE - 2 connections");
    EXPECT_TRUE(owner->KickAllEnabled());
    owner->KickAllUsers();
    ASSERT_TRUE(one.Finish());
    ASSERT_TRUE(two.Finish());
    EXPECT_TRUE(RunLoopUntil([&] { return owner->Rows().empty() && !owner->KickAllEnabled(); }));
    EXPECT_EQ(owner->Table().FreeCount(), kLoginSlots);
}

TEST_F(Owner, SecondLoginOnOneConnectionFreesTheFirstSlot) {
    NewUser("bob", "pw");
    NewUser("amy", "pw");
    StoreUsers();
    Peer peer("/usr/bin/python3",
              {VEXA_SOURCE_DIR "/tests/accounts/ftp_driver.py", std::to_string(port), "USER bob",
               "PASS pw", "USER amy", "PASS pw", "WAIT"});
    ASSERT_TRUE(RunLoopUntil([&] { return peer.Out().find("READY") != std::string::npos; }));
    EXPECT_EQ(owner->Table().FreeCount(), kLoginSlots - 1);
    ASSERT_EQ(owner->Rows().size(), 1u);
    EXPECT_EQ(owner->Rows()[0].UserName, "amy");
    owner->KickAllUsers();
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(RunLoopUntil([&] { return owner->Table().FreeCount() == kLoginSlots; }));
}

TEST_F(Owner, AdminToolChangesAreEnforced) {
    MakeDir("/shared");
    WriteFile(root + "/shared/f.txt", "shared file");
    auto admin = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", data.Path()});
        auto r = RunCommand(ProgramPath("vexa2-admin"), args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
    };
    admin({"group", "add", "staff"});
    admin({"group", "access", "staff", "add", root + "/shared", "read,list,inherit"});
    admin({"user", "add", "carol"});
    admin({"user", "set", "carol", "password", "pw"});
    admin({"user", "member", "carol", "add", "staff"});
    admin({"user", "set", "carol", "home", root + "/shared"});
    admin({"vdir", "add", root + "/shared", "pub"});
    files.StartUp();
    lists.Load(data.Path());
    auto out = Session({"USER carol", "PASS pw", "RETR /pub/f.txt", "STOR /pub/g.txt", "PWD"});
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[3], "226 File sent ok b'shared file'");
    EXPECT_TRUE(StartsWith(out[4], "ERR 5")) << out[4]; // no Write
    EXPECT_EQ(out[5], "257 \"/pub/\" is current directory.");
    // A change in the working file is live for the next login.
    admin({"--no-save", "user", "access", "carol", "add", root + "/shared", "write"});
    out = Session({"USER carol", "PASS pw", "STOR /pub/g.txt"});
    EXPECT_TRUE(StartsWith(out.at(3), "226")) << out.at(3);
    admin({"ip", "add", "127.0.0.1"});
    lists.Load(data.Path());
    out = Session({"NOOP"});
    EXPECT_TRUE(StartsWith(out.at(0), "ERR connect")) << out.at(0);
}

TEST_F(Owner, UserLimitStartAndStopLines) {
    EXPECT_EQ(log.Count(texts::ServerStarted(std::to_string(port))), 1);
    EXPECT_EQ(log.lines.front().colour, colours::clBlue);
    policy.maximumConcurrentUsers = 1;
    NewUser("bob", "pw");
    StoreUsers();
    const std::string script = VEXA_SOURCE_DIR "/tests/accounts/ftp_driver.py";
    Peer first("/usr/bin/python3", {script, std::to_string(port), "USER bob", "PASS pw", "WAIT"});
    ASSERT_TRUE(RunLoopUntil([&] { return first.Out().find("READY") != std::string::npos; }));
    auto out = Session({"NOOP"});
    EXPECT_EQ(out.at(0), "ERR connect error_temp 421 Too many users connected.");
    owner->KickAllUsers();
    ASSERT_TRUE(first.Finish());
    owner->Stop();
    EXPECT_TRUE(
        RunLoopUntil([&] { return log.Count(texts::ServerStopped(std::to_string(port))) == 1; }));
    EXPECT_EQ(owner->StatusText().rfind("OFFLINE - ", 0), 0u);
}

TEST_F(Owner, TransferProgressInTheConnectionList) {
    MakeDir("/io");
    WriteFile(root + "/io/big.bin", PatternBytes(300000, 7));
    auto& u = NewUser("io", "p");
    u.HomeDirectory.Set(root + "/io");
    Grant(u.Access, root + "/io", {Right::Read, Right::Write, Right::List});
    StoreUsers();
    std::vector<ConnectionRow> seen;
    owner->OnListChanged = [&] {
        for (const auto& r : owner->Rows())
            seen.push_back(r);
    };
    auto out = Session({"USER io", "PASS p", "STOR up.bin", "RETR big.bin"});
    ASSERT_EQ(out.size(), 5u);
    EXPECT_TRUE(StartsWith(out[3], "226")) << out[3];
    EXPECT_TRUE(StartsWith(out[4], "226")) << out[4].substr(0, 40);
    bool uploadDone = false, uploadSpeed = false, downloadDone = false;
    for (const auto& r : seen) {
        if (r.Action == "APPE" && r.Progress == "8 (complete)")
            uploadDone = true;
        if (r.Action == "APPE" && r.Speed.size() > 7 &&
            r.Speed.substr(r.Speed.size() - 7) == " Kb/sec")
            uploadSpeed = true;
        if (r.Action == "GET" && r.Progress == "300000 (complete)")
            downloadDone = true;
    }
    EXPECT_TRUE(uploadDone);
    EXPECT_TRUE(uploadSpeed);
    EXPECT_TRUE(downloadDone);
}

TEST_F(Owner, EncryptedOnlyGateClosesPlainConnections) {
    MakeDir("/pub");
    WriteFile(root + "/pub/a.txt", "alpha");
    auto& u = NewUser("u", "p");
    u.HomeDirectory.Set(root + "/pub");
    Grant(u.Access, root + "/pub", {Right::Read, Right::List});
    StoreUsers();
    policy.encryptedOnlyClients = true;
    auto out = Session({"USER u", "PASS p", "SIZE a.txt", "RAW RETR a.txt", "NOOP"});
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[3], "213 5"); // SIZE answers without the gate
    EXPECT_EQ(out[4], texts::kEncryptedOnlyReply);
    EXPECT_TRUE(StartsWith(out[5], "ERR")) << out[5]; // the connection is gone
    EXPECT_TRUE(RunLoopUntil([&] { return owner->Rows().empty(); }));
}

TEST_F(Owner, RightsHoldForTheObjectReallyUsed) {
    // A link inside the grant points outside; a second session of the same
    // account renames it into a path the first session had judged.
    for (const char* d : {"/home", "/home/swapdir", "/outside", "/outside/emptydir"})
        MakeDir(d);
    WriteFile(root + "/outside/secret.txt", "secret");
    WriteFile(root + "/outside/victim", "victim");
    WriteFile(root + "/home/a.txt", "inside");
    ASSERT_EQ(::symlink((root + "/outside").c_str(), (root + "/home/outlink").c_str()), 0);
    JailedUser("twin", root + "/home");
    StoreUsers();
    const std::vector<Step> swapIntoMissing{{"B RNFR outlink", "350"}, {"B RNTO nosuchdir", "250"}};
    const std::vector<Step> undoMissing{{"B RNFR nosuchdir", "350"}, {"B RNTO outlink", "250"}};
    const std::vector<Step> swapIntoSwapdir{
        {"B RMD swapdir", "250"}, {"B RNFR outlink", "350"}, {"B RNTO swapdir", "250"}};
    const std::vector<Step> undoSwapdir{
        {"B RNFR swapdir", "350"}, {"B RNTO outlink", "250"}, {"B MKD swapdir", "257"}};
    std::vector<Step> steps;
    auto add = [&](const std::vector<Step>& more) {
        steps.insert(steps.end(), more.begin(), more.end());
    };
    // RETR, STOR and APPE are judged at the command and open the file when
    // the data connection comes: with the judged folder missing or present.
    for (const char* cmd : {"RETR", "STOR", "APPE"}) {
        const bool get = std::string(cmd) == "RETR";
        add({{"A PASV", "PASV"}, {std::string("A ") + cmd + " nosuchdir/secret.txt", "150"}});
        add(swapIntoMissing);
        add({{get ? "A GET" : "A PUT", get ? "DATA b'' ERR 501 Cannot RETR." : "ERR 426"}});
        add(undoMissing);
        add({{"A PASV", "PASV"}, {std::string("A ") + cmd + " swapdir/secret.txt", "150"}});
        add(swapIntoSwapdir);
        add({{get ? "A GET" : "A PUT", get ? "DATA b'' ERR 501 Cannot RETR." : "ERR 426"}});
        add(undoSwapdir);
    }
    // RNFR judged, then the folder swapped before RNTO.
    add({{"A PASV", "PASV"}, {"A STOR swapdir/victim", "150"}, {"A PUT", "226"}});
    add({{"A RNFR swapdir/victim", "350"}, {"B DELE swapdir/victim", "250"}});
    add(swapIntoSwapdir);
    add({{"A RNTO stolen", "ERR 450"}});
    // DELE, RMD, MKD and RNTO through the swapped folder, and through a
    // folder swapped in where none was.
    add({{"A DELE swapdir/victim", "ERR 500"},
         {"A RMD swapdir/emptydir", "ERR 500"},
         {"A MKD swapdir/newdir", "ERR 550"},
         {"A RNFR a.txt", "350"},
         {"A RNTO swapdir/moved", "ERR 500"}});
    add(undoSwapdir);
    add(swapIntoMissing);
    add({{"A DELE nosuchdir/victim", "ERR 500"},
         {"A RMD nosuchdir/emptydir", "ERR 500"},
         {"A MKD nosuchdir/newdir", "ERR 550"},
         {"A RETR nosuchdir/secret.txt", "ERR 500"},
         {"A SIZE nosuchdir/secret.txt", "ERR 550"}});
    add(undoMissing);
    // The same commands on ordinary paths still work.
    add({{"A PASV", "PASV"},
         {"A RETR a.txt", "150"},
         {"A GET", "DATA b'inside' 226"},
         {"A PASV", "PASV"},
         {"A APPE a.txt", "150"},
         {"A PUT", "226"},
         {"A RNFR a.txt", "350"},
         {"A RNTO b.txt", "250"},
         {"A MKD swapdir/newdir", "257"},
         {"A RMD swapdir/newdir", "250"},
         {"A DELE b.txt", "250"}});
    auto out = TwoSessions("twin", "p", Commands(steps));
    ExpectReplies(out, steps, 0);
    for (const auto& line : out)
        EXPECT_EQ(line.find("secret'"), std::string::npos) << line;
    // Nothing outside the grant was read, written, moved or removed.
    EXPECT_EQ(ReadFile(root + "/outside/secret.txt"), "secret");
    EXPECT_EQ(ReadFile(root + "/outside/victim"), "victim");
    EXPECT_TRUE(std::filesystem::is_directory(root + "/outside/emptydir"));
    EXPECT_FALSE(std::filesystem::exists(root + "/outside/newdir"));
    EXPECT_FALSE(std::filesystem::exists(root + "/outside/moved"));
    EXPECT_FALSE(FileExists(root + "/home/stolen"));
    std::size_t outsideEntries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root + "/outside"))
        ++outsideEntries;
    EXPECT_EQ(outsideEntries, 3u);
    EXPECT_FALSE(FileExists(root + "/home/b.txt"));
}

TEST_F(Owner, FoldersOnTheWayToAGrantAreTraverseOnly) {
    for (const char* d : {"/way", "/way/home", "/way/home/docs", "/way/home/docs/sub", "/way/other",
                          "/nolist", "/r"})
        MakeDir(d);
    WriteFile(root + "/x", "beside the way");
    WriteFile(root + "/way/beside.txt", "beside the way");
    WriteFile(root + "/way/home/h.txt", "h");
    WriteFile(root + "/way/home/docs/d.txt", "doc");
    WriteFile(root + "/way/home/docs/sub/s.txt", "deep doc");
    WriteFile(root + "/nolist/n.txt", "n");
    WriteFile(root + "/r/f.txt", "read me");
    auto& walker = NewUser("walker", "p");
    walker.HomeDirectory.Set(root + "/way/home");
    Grant(walker.Access, root + "/way/home",
          {Right::Read, Right::List, Right::Write, Right::Inherit, Right::Create});
    Grant(walker.Access, root + "/nolist", {Right::Read});
    auto& reader = NewUser("reader", "p");
    reader.HomeDirectory.Set(root + "/r");
    Grant(reader.Access, root + "/r", {Right::Read});
    StoreUsers();
    const std::string top = root.substr(1, root.find('/', 1) - 1); // first folder of root
    const std::vector<Step> steps{
        {"CWD /", "250"},
        {"NLST", "226 File sent ok ['" + top + "']"},
        {"NLST *", "226 File sent ok ['" + top + "']"},
        {"CWD " + root, "250"},
        {"PWD", "257 \"" + root + "/\""},
        {"NLST", "226 File sent ok ['nolist', 'way']"},
        {"NLST *", "226 File sent ok ['nolist', 'way']"},
        {"NLST w*", "226 File sent ok ['way']"},
        {"NLST " + root, "226 File sent ok ['nolist', 'way']"},
        {"LIST", "226 File sent ok ['drw-rw-rw-"},
        {"LIST x", "ERR 451 Failed: No permission."},
        {"RETR x", "ERR 500 Cannot RETR - Insufficient Rights."},
        {"SIZE x", "ERR 550 Command failed: File not found."},
        {"MDTM x", "ERR 550"},
        {"NLST nolist/*", "ERR 451 Failed: No permission."},
        {"CWD nolist", "ERR 501 CWD failed. No permission"},
        {"CWD way", "250"},
        {"NLST", "226 File sent ok ['home']"},
        {"RETR beside.txt", "ERR 500"},
        {"CWD other", "ERR 501 CWD failed. No permission"},
        {"CWD home", "250"},
        {"NLST", "226 File sent ok ['docs', 'h.txt']"},
        {"CWD " + root + "/way/home/docs/sub", "250"},
    };
    auto out = Session([&] {
        std::vector<std::string> c{"USER walker", "PASS p"};
        for (const auto& s : Commands(steps))
            c.push_back(s);
        return c;
    }());
    ExpectReplies(out, steps, 3);
    for (const auto& line : out)
        EXPECT_EQ(line.find("beside"), std::string::npos) << line;
    // The one LIST on the way shows the two folders and nothing else.
    const std::string& list = out.at(3 + 9);
    EXPECT_NE(list.find(" nolist'"), std::string::npos) << list;
    EXPECT_NE(list.find(" way']"), std::string::npos) << list;
    EXPECT_EQ(list.find(" x'"), std::string::npos) << list;

    // Read without List on the home folder: the PWD text, the home folder
    // and the current folder can be entered.
    const std::vector<Step> readerSteps{{"CWD " + root + "/r/", "250"},
                                        {"CWD /", "250"},
                                        {"CWD " + root + "/r", "250"},
                                        {"CWD .", "250"},
                                        {"RETR f.txt", "226 File sent ok b'read me'"}};
    out = Session([&] {
        std::vector<std::string> c{"USER reader", "PASS p"};
        for (const auto& s : Commands(readerSteps))
            c.push_back(s);
        return c;
    }());
    ExpectReplies(out, readerSteps, 3);

    // lftp changes into an absolute path below the home folder and mirrors it.
    TempDir local;
    const std::string script = "set cmd:fail-exit yes; set ftp:ssl-allow no; "
                               "set net:max-retries 1; cd " +
                               root + "/way/home/docs; ls; mirror " + root + "/way/home/docs " +
                               local.Path() + "/docs; quit";
    Peer lftp("/usr/bin/lftp",
              {"-u", "walker,p", "-p", std::to_string(port), "-e", script, "127.0.0.1"});
    ASSERT_TRUE(lftp.Finish(60000));
    EXPECT_NE(lftp.Out().find(" d.txt"), std::string::npos) << lftp.Out() << lftp.Err();
    EXPECT_EQ(ReadFile(local.Path() + "/docs/d.txt"), "doc");
    EXPECT_EQ(ReadFile(local.Path() + "/docs/sub/s.txt"), "deep doc");
}

// Machine listings follow the same rights as LIST: a folder on the way to a
// grant shows only the way, the perm facts tell what the account may do,
// and MFMT needs the right to write.
TEST_F(Owner, MachineListingsFollowTheRights) {
    for (const char* d : {"/way", "/way/home", "/way/home/docs", "/way/other"})
        MakeDir(d);
    WriteFile(root + "/way/beside.txt", "beside the way");
    WriteFile(root + "/way/home/h.txt", "h");
    auto& walker = NewUser("walker", "p");
    walker.HomeDirectory.Set(root + "/way/home");
    Grant(walker.Access, root + "/way/home",
          {Right::Read, Right::List, Right::Write, Right::Inherit, Right::Create});
    StoreUsers();
    const std::vector<Step> steps{
        {"CWD " + root, "250"},
        {"MLSD", "226 ['way dir el']"},
        {"MLSD way", "226 ['home dir celm']"},
        {"MLSD way/home", "226 ['. cdir celm', '.. pdir el', 'docs dir celm', 'h.txt file arw']"},
        {"MLSD /etc", "ERR 451 Failed: No permission."},
        {"MLST way/beside.txt", "ERR 451 Failed: No permission."},
        // The facts ftplib chose for MLSD (OPTS MLST) hold for the session.
        {"MLST way/home/h.txt", "250-Listing " + root + "/way/home/h.txt |  type=file;perm=arw; " +
                                    root + "/way/home/h.txt | 250 End"},
        {"MFMT 20200101000000 way/home/h.txt", "213 Modify=20200101000000; way/home/h.txt"},
        {"MFMT 20200101000000 way/beside.txt", "ERR 550 Cannot MFMT - Insufficient Rights."},
    };
    auto out = Session([&] {
        std::vector<std::string> c{"USER walker", "PASS p"};
        for (const auto& s : Commands(steps))
            c.push_back(s);
        return c;
    }());
    ExpectReplies(out, steps, 3);
    struct stat st {};
    ASSERT_EQ(::stat((root + "/way/home/h.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1577836800);
    ASSERT_EQ(::stat((root + "/way/beside.txt").c_str(), &st), 0);
    EXPECT_NE(st.st_mtime, 1577836800);
}
