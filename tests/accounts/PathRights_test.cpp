#include "accounts/AccountTexts.h"
#include "accounts/ConnectionList.h"
#include "accounts/PathRights.h"
#include "accounts/Validation.h"
#include "ftpserver/MachineFacts.h"
#include "support/Peers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace accounts;
using namespace testing_support;

namespace {

AccessEntry Entry(const std::string& path, std::initializer_list<Right> rights) {
    AccessEntry e{};
    e.Path.Set(path);
    for (Right r : rights)
        RightFlag(e, r) = 1;
    return e;
}

// A tree: root/Data/Sub, root/Database, root/outside/secret.txt, root/Data/up
// (link to outside), root/Data/dangling (link to a missing file).
struct Tree : ::testing::Test {
    TempDir tmp;
    std::string root;
    void SetUp() override {
        root = CanonicalPath(tmp.Path());
        for (const char* d : {"/Data", "/Data/Sub", "/Database", "/outside"})
            ASSERT_EQ(::mkdir((root + d).c_str(), 0755), 0);
        WriteFile(root + "/outside/secret.txt", "secret");
        WriteFile(root + "/Data/a.txt", "a");
        ASSERT_EQ(::symlink((root + "/outside").c_str(), (root + "/Data/up").c_str()), 0);
        ASSERT_EQ(
            ::symlink((root + "/outside/secret.txt").c_str(), (root + "/Data/link.txt").c_str()),
            0);
        ASSERT_EQ(::symlink((root + "/outside/none").c_str(), (root + "/Data/dangling").c_str()),
                  0);
    }
};

} // namespace

TEST(PathRights, NormalizePathKeepsCaseAndAddsSlash) {
    EXPECT_EQ(NormalizePath("/Srv/Data"), "/Srv/Data/");
    EXPECT_EQ(NormalizePath("\\srv\\data\\"), "/srv/data/");
    EXPECT_EQ(DirectoryPart("/a/b/c.txt"), "/a/b/");
}

TEST_F(Tree, CanonicalPathResolvesDotsAndLinks) {
    EXPECT_EQ(CanonicalPath(root + "/Data/Sub/../../Data/./a.txt"), root + "/Data/a.txt");
    EXPECT_EQ(CanonicalPath(root + "/Data/up/secret.txt"), root + "/outside/secret.txt");
    EXPECT_EQ(CanonicalPath(root + "/Data/new/../x"), root + "/Data/x");
    EXPECT_EQ(CanonicalPath(root + "/Data/../../../../../etc"), "/etc");
    EXPECT_EQ(CanonicalPath("\\"), "/");
}

TEST_F(Tree, RightsTable) {
    const std::string data = root + "/Data";
    struct Case {
        std::vector<AccessEntry> access;
        std::string dir;
        std::initializer_list<Right> rights;
        bool granted;
        const char* what;
    } cases[] = {
        {{Entry(data, {Right::Read})}, data + "/", {Right::Read}, true, "same folder"},
        {{Entry(data, {Right::Read})}, root + "/data/", {Right::Read}, false, "letter case counts"},
        {{Entry(data, {Right::Read})},
         data + "/Sub/",
         {Right::Read},
         false,
         "below without Inherit"},
        {{Entry(data, {Right::Read, Right::Inherit})},
         data + "/Sub/",
         {Right::Read},
         true,
         "below with Inherit"},
        {{Entry(data, {Right::Read, Right::Inherit})},
         root + "/Database/",
         {Right::Read},
         false,
         "prefix of a name"},
        {{Entry(data + "/", {Right::Read})},
         data,
         {Right::Read},
         true,
         "trailing slash either side"},
        {{Entry("\\" + data.substr(1), {Right::Read})}, data, {Right::Read}, true, "backslashes"},
        {{Entry(data, {Right::Read, Right::Inherit})},
         data + "/up/",
         {Right::Read},
         false,
         "link out of the grant"},
        {{Entry(data, {Right::Read, Right::Inherit})},
         data + "/Sub/../../outside/",
         {Right::Read},
         false,
         "dots out"},
        {{Entry(data + "/Sub/..", {Right::Read})},
         data,
         {Right::Read},
         true,
         "entry made canonical"},
        {{Entry(data, {Right::Create, Right::Write, Right::Inherit})},
         data + "/New",
         {Right::Create, Right::Write},
         true,
         "MKD below with Inherit"},
        {{Entry(data, {Right::Create, Right::Write})},
         data + "/New",
         {Right::Create, Right::Write},
         false,
         "MKD below without Inherit"},
        {{Entry(data + "/New", {Right::Create, Right::Write})},
         data + "/New",
         {Right::Create, Right::Write},
         true,
         "MKD with an entry for the new folder"},
        {{Entry(data, {Right::Create})},
         data,
         {Right::Create, Right::Write},
         false,
         "MKD needs both"},
        {{Entry(data, {}), Entry(data, {Right::Delete})},
         data,
         {Right::Delete},
         true,
         "user and group combine"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RightsCheck(c.access, c.dir, c.rights), c.granted) << c.what;
}

TEST_F(Tree, TraversalIsRefusedForEveryOperation) {
    const std::string data = root + "/Data";
    LoginSlot slot;
    slot.InUse = true;
    AccessEntry all = Entry(data, {Right::Read, Right::List, Right::Write, Right::Rename,
                                   Right::Delete, Right::Inherit, Right::Create});
    slot.Access.push_back(all);
    struct Case {
        Operation op;
        std::string path;
        bool allowed;
        const char* what;
    } cases[] = {
        {Operation::Get, data + "/../outside/secret.txt", false, "RETR ../"},
        {Operation::Get, data + "/up/secret.txt", false, "RETR through linked folder"},
        {Operation::Get, data + "/link.txt", false, "RETR through linked file"},
        {Operation::Get, data + "/a.txt", true, "RETR inside"},
        {Operation::Size, "/etc/passwd", false, "SIZE /etc/passwd"},
        {Operation::Size, data + "/Sub/../../outside/secret.txt", false, "MDTM ../"},
        {Operation::Size, data + "/a.txt", true, "SIZE inside"},
        {Operation::Put, "/tmp/x", false, "STOR /tmp/x"},
        {Operation::Put, data + "/link.txt", false, "STOR through a link"},
        {Operation::Put, data + "/dangling", false, "STOR onto a dangling link"},
        {Operation::Put, data + "/new.txt", true, "STOR inside"},
        {Operation::Cwd, "/etc", false, "CWD /etc"},
        {Operation::Cwd, data + "/up", false, "CWD through a link"},
        {Operation::Cwd, data + "/Sub", true, "CWD inside"},
        {Operation::RnTo, data + "/../x", false, "RNTO ../x"},
        {Operation::RnFr, data + "/up/secret.txt", false, "RNFR through a link"},
        {Operation::Mkd, data + "/../x", false, "MKD ../x"},
        {Operation::Mkd, data + "/x", true, "MKD inside"},
        {Operation::Dele, data + "/link.txt", true, "DELE of a link acts on the link"},
        {Operation::Dele, data + "/up/secret.txt", false, "DELE through a linked folder"},
        {Operation::Dele, data + "/Sub/..", false,
         "RMD of the granted folder itself (parent not granted)"},
    };
    for (const auto& c : cases) {
        Verdict v = Validate(slot, c.op, c.path, false, false);
        EXPECT_EQ(v.allowed, c.allowed) << c.what;
    }
    TraverseScope scope{data + "/", data + "/", {}};
    EXPECT_EQ(DecideListing(slot, "/etc", scope).kind, ListingKind::Refused);
    EXPECT_EQ(DecideListing(slot, data + "/up", scope).kind, ListingKind::Refused);
    EXPECT_EQ(DecideListing(slot, data + "/Sub", scope).kind, ListingKind::Full);
    EXPECT_EQ(DecideListing(slot, data + "/a.txt", scope).kind, ListingKind::Full);
    // The folder above the grant is passed through: only the way is listed.
    const ListingDecision up = DecideListing(slot, data + "/..", scope);
    EXPECT_EQ(up.kind, ListingKind::WayOnly);
    EXPECT_EQ(up.wayNames, std::vector<std::string>{"Data"});
}

TEST_F(Tree, FoldersOnTheWayToAGrantAreEnteredButNotOpened) {
    const std::string data = root + "/Data";
    LoginSlot slot;
    slot.InUse = true;
    slot.Access.push_back(Entry(data + "/Sub", {Right::Read, Right::List}));
    const std::string virt = root + "/outside";
    TraverseScope scope{data + "/Sub/", data + "/Sub/", {virt + "/"}};
    struct Case {
        std::string dir;
        bool cwd;
        ListingKind listing;
        std::vector<std::string> way;
        const char* what;
    } cases[] = {
        {"/", true, ListingKind::WayOnly, {root.substr(1, root.find('/', 1) - 1)}, "the root"},
        {root,
         true,
         ListingKind::WayOnly,
         {"Data", "outside"},
         "above a grant and a virtual folder"},
        {data, true, ListingKind::WayOnly, {"Sub"}, "the grant's parent"},
        {data + "/Sub", true, ListingKind::Full, {}, "the grant itself"},
        {virt, false, ListingKind::Refused, {}, "a virtual folder grants nothing"},
        {"/etc", false, ListingKind::Refused, {}, "off the way"},
        {root + "/Data/a.txt", false, ListingKind::Refused, {}, "a file on the way"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Validate(slot, Operation::Cwd, c.dir, false, false, scope).allowed, c.cwd)
            << c.what;
        const ListingDecision d = DecideListing(slot, c.dir, scope);
        EXPECT_EQ(d.kind, c.listing) << c.what;
        EXPECT_EQ(d.wayNames, c.way) << c.what;
        // On the way, nothing but the change of directory is granted.
        if (c.listing == ListingKind::WayOnly) {
            EXPECT_FALSE(
                Validate(slot, Operation::Get, c.dir + "/a.txt", false, false, scope).allowed)
                << c.what;
        }
    }
    // The current and the home directory need no right; elsewhere List counts.
    slot.Access = {Entry(data, {Right::Read})};
    TraverseScope home{root + "/outside/", data + "/", {}};
    EXPECT_TRUE(Validate(slot, Operation::Cwd, data, false, false, home).allowed);
    EXPECT_TRUE(Validate(slot, Operation::Cwd, root + "/outside", false, false, home).allowed);
    EXPECT_FALSE(Validate(slot, Operation::Cwd, data + "/Sub", false, false, home).allowed);
}

// The rights behind the "perm" facts of machine listings, folder by folder;
// a superuser may do everything, and asking records nothing.
TEST_F(Tree, FolderRightsForPermFacts) {
    const std::string data = root + "/Data";
    LoginSlot slot;
    slot.InUse = true;
    slot.Access.push_back(Entry(data, {Right::Read, Right::List}));
    slot.Access.push_back(Entry(data + "/Sub", {Right::Write, Right::Create, Right::Delete,
                                                Right::Rename, Right::Inherit, Right::List}));
    TraverseScope scope{data + "/", data + "/", {}};
    const struct {
        std::string folder;
        unsigned rights;
        const char* what;
    } cases[] = {
        {data, frRead | frList | frEnter, "read and list only"},
        {data + "/Sub", frWrite | frDelete | frRename | frMakeDir | frList | frEnter, "writable"},
        {root, frList | frEnter, "on the way to a grant"},
        {root + "/Database", 0, "beside the grant"},
        {data + "/up", 0, "through a link"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderRightsOf(slot, c.folder, scope), c.rights) << c.what;
    EXPECT_EQ(FilePerm(FolderRightsOf(slot, data, scope)), "r");
    EXPECT_EQ(
        FolderPerm(FolderRightsOf(slot, data, scope), FolderRightsOf(slot, data + "/Sub", scope)),
        "celmp");
    EXPECT_TRUE(slot.Action.empty());
    slot.SuperUser = true;
    EXPECT_EQ(FolderRightsOf(slot, "/etc", scope), kAllFolderRights);

    // MFMT needs the right to write the file's folder, and is recorded.
    slot.SuperUser = false;
    Verdict v = Validate(slot, Operation::Time, data + "/a.txt", false, false);
    EXPECT_FALSE(v.allowed);
    EXPECT_EQ(slot.Action, "MFMT");
    EXPECT_EQ(slot.Result, "Denied");
    WriteFile(data + "/Sub/s.txt", "s");
    v = Validate(slot, Operation::Time, data + "/Sub/s.txt", false, false);
    EXPECT_TRUE(v.allowed);
    v = Validate(slot, Operation::Time, data + "/Sub/s.txt", true, false);
    EXPECT_TRUE(v.closeConnection);
}

TEST_F(Tree, RefusedDeleIsRecordedForTheConnectionList) {
    LoginSlot slot;
    slot.InUse = true;
    slot.Id = "9";
    slot.UserName = "u";
    slot.Access.push_back(Entry(root + "/Data", {Right::Read}));
    Verdict v = Validate(slot, Operation::Dele, root + "/Data/a.txt", false, false);
    EXPECT_FALSE(v.allowed);
    EXPECT_TRUE(v.recorded);
    LoginTable table;
    table[5] = slot;
    auto rows = ConnectionRows(table);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Action, "DELE");
    EXPECT_EQ(rows[0].Location, root + "/Data/a.txt");
    EXPECT_EQ(rows[0].Progress, "Denied");
}

TEST_F(Tree, CwdIntoMissingFolderRefusedWithoutRecordEvenForSuperUser) {
    LoginSlot slot;
    slot.SuperUser = true;
    Verdict v = Validate(slot, Operation::Cwd, root + "/Data/missing", false, false);
    EXPECT_FALSE(v.allowed);
    EXPECT_FALSE(v.recorded);
    EXPECT_TRUE(slot.Action.empty());
    EXPECT_TRUE(Validate(slot, Operation::Cwd, root + "/outside", false, false).allowed);
}

TEST_F(Tree, EncryptedOnlyGate) {
    LoginSlot slot;
    slot.SuperUser = true;
    struct Case {
        Operation op;
        std::string path;
        bool closes;
        std::string reply;
    } cases[] = {
        {Operation::Get, root + "/Data/a.txt", true, texts::kEncryptedOnlyReply},
        {Operation::Get, root + "/Data/*encryption.key*", false, ""},
        {Operation::Put, root + "/Data/b.txt", false, ""}, // a superuser still uploads
        {Operation::Dele, root + "/Data/a.txt", true, texts::kEncryptedOnlyText},
        {Operation::RnFr, root + "/Data/a.txt", true, texts::kEncryptedOnlyReply},
        {Operation::Cwd, root + "/Data", true, texts::kEncryptedOnlyReply},
        {Operation::Mkd, root + "/Data/n", true, texts::kEncryptedOnlyReply},
        {Operation::Size, root + "/Data/a.txt", false, ""}, // SIZE has no gate
    };
    for (const auto& c : cases) {
        Verdict v = Validate(slot, c.op, c.path, true, false);
        EXPECT_EQ(v.closeConnection, c.closes) << c.path;
        EXPECT_EQ(v.gateReply, c.reply) << c.path;
        if (c.closes) {
            EXPECT_FALSE(v.allowed);
            EXPECT_FALSE(v.recorded);
        }
    }
    LoginSlot plain;
    plain.Access.push_back(Entry(root + "/Data", {Right::Write}));
    Verdict put = Validate(plain, Operation::Put, root + "/Data/b.txt", true, false);
    EXPECT_TRUE(put.closeConnection);
    EXPECT_EQ(put.gateReply, texts::kEncryptedOnlyText);
    EXPECT_TRUE(Validate(plain, Operation::Put, root + "/Data/b.txt", true, true).allowed);
}

TEST(ConnectionList, SpeedText) {
    EXPECT_EQ(SpeedText(5000, 0), "5000");
    EXPECT_EQ(SpeedText(0, 1000), "0");
    EXPECT_EQ(SpeedText(2048, 1000), "2.00");
    EXPECT_EQ(SpeedText(1024 * 1536, 2000), "768.00");
    EXPECT_EQ(SpeedText(1000, 3000), "0.33");
}
