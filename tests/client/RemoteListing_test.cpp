#include "client/RemoteListing.h"
#include "client/TransferFigures.h"

#include <gtest/gtest.h>

TEST(RemoteListing, ParsesUnixAndNetWareLinesAndSkipsTheRest) {
    const std::string listing =
        "total 12\r\n"
        "drwxr-xr-x   1 owner    group           0 Mar 07 14:05 .\r\n"
        "drwxr-xr-x   1 owner    group           0 Mar 07 14:05 ..\r\n"
        "drwxr-xr-x   1 owner    group           0 Mar 07 14:05 docs\r\n"
        "-rw-r--r--   1 owner    group        1234 Jan 31  2023 my file.txt\r\n"
        "lrwxrwxrwx   1 owner    group          11 Dec 01 09:00 latest -> docs/v2\r\n"
        "/missing not found\r\n";
    auto items = ParseListing(listing, skVexaServer);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].Icon, RemoteIcon::Folder);
    EXPECT_EQ(items[0].Caption, "docs");
    EXPECT_EQ(items[1].Icon, RemoteIcon::File);
    EXPECT_EQ(items[1].Caption, "my file.txt");
    EXPECT_EQ(items[1].SizeText, "1234");
    EXPECT_EQ(items[1].DateText, "Jan 31  2023");
    EXPECT_EQ(items[1].Size, 1234);
    EXPECT_EQ(items[2].Icon, RemoteIcon::Link);
    EXPECT_EQ(items[2].Caption, "latest -> docs/v2");
    EXPECT_EQ(LinkTargetName(items[2].Caption), "latest");

    // NetWare has no group column: the size is the fourth field.
    RemoteItem item;
    ASSERT_TRUE(
        ParseListingLine("-rw-r--r-- 1 owner 5678 Feb 02 10:11 report.doc", skNetWare, item));
    EXPECT_EQ(item.SizeText, "5678");
    EXPECT_EQ(item.DateText, "Feb 02 10:11");
    EXPECT_EQ(item.Caption, "report.doc");
    EXPECT_FALSE(ParseListingLine("garbage", skOtherServer, item));
    EXPECT_FALSE(ParseListingLine("", skOtherServer, item));

    EXPECT_EQ(ServerKindFromSyst("215 UNIX Type: Vexa Version 2.0.6.323"), skVexaServer);
    EXPECT_EQ(ServerKindFromSyst("215 NETWARE Type: L8"), skNetWare);
    EXPECT_EQ(ServerKindFromSyst("215 UNIX Type: L8"), skOtherServer);
}

// Each form of listing line servers write, with what the list shows for it;
// an empty caption means the line is skipped.
TEST(RemoteListing, LineForms) {
    struct Case {
        const char* line;
        RemoteIcon icon;
        const char* caption;
        const char* size;
        const char* date;
        std::int64_t bytes = 0; // the size as a number
    } cases[] = {
        {"-rw-r--r--   1 owner    group         12 Mar 07 14:05   three blanks.txt",
         RemoteIcon::File, "  three blanks.txt", "12", "Mar 07 14:05", 12},
        {"-rw-r--r--   1 owner    group         12 Mar  7  2023 single", RemoteIcon::File, "single",
         "12", "Mar  7  2023", 12},
        {"-rw-r--r--    1 ftp      ftp          4096 2024-01-31 12:00 iso.txt", RemoteIcon::File,
         "iso.txt", "4096", "2024-01-31 12:00", 4096},
        {"drwxr-xr-x    2 John Smith Domain Users 0 Jan 31 09:00 shared", RemoteIcon::Folder,
         "shared", "0", "Jan 31 09:00", 0},
        {"crw-rw-rw-   1 root     root       1,   3 Jan 31 12:00 null", RemoteIcon::File, "null",
         "1,   3", "Jan 31 12:00", 0},
        {"brw-rw----   1 root     disk       8,0 Jan 31 12:00 sda", RemoteIcon::File, "sda", "8,0",
         "Jan 31 12:00", 0},
        {"- [RWCEAFMS] owner 5678 Feb 02 10:11 netware.doc", RemoteIcon::File, "netware.doc",
         "5678", "Feb 02 10:11", 5678},
        {"lrwxrwxrwx 1 o g 7 Dec 01 09:00 now -> then", RemoteIcon::Link, "now -> then", "7",
         "Dec 01 09:00", 7},
        {"01-31-24  10:15PM       <DIR>          dos folder", RemoteIcon::Folder, "dos folder", "",
         "01-31-24  10:15PM", 0},
        {"01-31-24  10:15PM  1234 dos.txt", RemoteIcon::File, "dos.txt", "1234",
         "01-31-24  10:15PM", 1234},
        {"01-31-2024  09:05AM     1,234,567 big.iso", RemoteIcon::File, "big.iso", "1,234,567",
         "01-31-2024  09:05AM", 1234567},
        // A parsed entry is kept whatever its name holds.
        {"-rw-r--r-- 1 o g 1 Jan 01 00:00 not found", RemoteIcon::File, "not found", "1",
         "Jan 01 00:00", 1},
        // Lines that are no entry.
        {"/pub/missing: not found", RemoteIcon::File, "", "", ""},
        {"550 No files found", RemoteIcon::File, "", "", ""},
        {"total 12", RemoteIcon::File, "", "", ""},
        {"-rw-r--r-- 1 o g 1 Jan 01 00:00 ", RemoteIcon::File, "", "", ""},
        {"drwxr-xr-x 1 o g 0 Jan 01 00:00 ..", RemoteIcon::File, "", "", ""},
        {"Mar 07 14:05 name", RemoteIcon::File, "", "", ""},
    };
    for (const auto& c : cases) {
        RemoteItem item;
        const bool parsed = ParseListingLine(c.line, skOtherServer, item);
        EXPECT_EQ(parsed, c.caption[0] != '\0') << c.line;
        if (!parsed)
            continue;
        EXPECT_EQ(item.Icon, c.icon) << c.line;
        EXPECT_EQ(item.Caption, c.caption) << c.line;
        EXPECT_EQ(item.SizeText, c.size) << c.line;
        EXPECT_EQ(item.DateText, c.date) << c.line;
        EXPECT_EQ(item.Size, c.bytes) << c.line;
    }
}

TEST(RemoteListing, SortsNamesAsTextSizesAsNumbersAndDatesAsDates) {
    std::vector<RemoteItem> items = ParseListing("-rw-r--r-- 1 o g 289 Dec 31  2020 beta\n"
                                                 "-rw-r--r-- 1 o g 7000000 Jan 01  2021 Alpha\n"
                                                 "-rw-r--r-- 1 o g 3 Mar 05  2019 gamma\n"
                                                 "-rw-r--r-- 1 o g 4096 Feb 01  2021 delta\n",
                                                 skOtherServer);
    auto order = [&](int column, bool descending) {
        SortRemoteItems(items, column, descending);
        std::vector<std::string> names;
        for (const auto& item : items)
            names.push_back(item.Caption);
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(order(0, false), (Names{"Alpha", "beta", "delta", "gamma"}));
    EXPECT_EQ(order(0, true), (Names{"gamma", "delta", "beta", "Alpha"}));
    // 3 < 289 < 4096 < 7,000,000, both ways.
    EXPECT_EQ(order(1, false), (Names{"gamma", "beta", "delta", "Alpha"}));
    EXPECT_EQ(order(1, true), (Names{"Alpha", "delta", "beta", "gamma"}));
    EXPECT_EQ(order(2, false), (Names{"gamma", "beta", "Alpha", "delta"}));
    EXPECT_EQ(order(2, true), (Names{"delta", "Alpha", "beta", "gamma"}));
    // A date with a time is within the last year: newer than any older year.
    RemoteItem recent;
    ASSERT_TRUE(ParseListingLine("-rw-r--r-- 1 o g 1 Jan 01 00:00 recent", skOtherServer, recent));
    items.push_back(recent);
    EXPECT_EQ(order(2, true).front(), "recent");
}

// Listing sizes and dates as values: what sorting and the file-exists
// question compare.
TEST(RemoteListing, SizeAndDateValues) {
    const struct {
        const char* text;
        std::int64_t bytes;
    } sizes[] = {{"0", 0},
                 {"4096", 4096},
                 {"1,234,567", 1234567},
                 {"12,345", 12345},
                 {"8,0", 0},
                 {"1,   3", 0},
                 {"", 0},
                 {"<DIR>", 0},
                 {"-5", 0},
                 {"1,2345", 0},
                 {"99999999999999999999", 0},
                 {"5000000000", 5000000000}};
    for (const auto& c : sizes)
        EXPECT_EQ(ListingSizeValue(c.text), c.bytes) << c.text;

    // Now: 2024-06-15 12:00, as the wall clock counts it.
    const std::int64_t day = 86400;
    const std::int64_t now = 19889 * day + 12 * 3600;
    const std::int64_t jan31of2023 = 19388 * day;
    const struct {
        const char* text;
        std::int64_t value;
    } dates[] = {
        {"Jan 31  2023", jan31of2023},
        {"Jan 31 2023", jan31of2023},
        {"2023-01-31 14:05", jan31of2023 + 14 * 3600 + 5 * 60},
        {"01-31-23  02:05PM", jan31of2023 + 14 * 3600 + 5 * 60},
        {"01-31-2023  12:05AM", jan31of2023 + 5 * 60},
        {"01-31-23  14:05", jan31of2023 + 14 * 3600 + 5 * 60},
        // Without a year: the last twelve months (a day ahead allowed).
        {"Jun 15 11:00", now - 3600},
        {"Jun 16 11:00", now + 23 * 3600},
        {"Jun 17 11:00", now + 2 * day - 3600 - 366 * day},
        {"Jan  1 00:00", now - 166 * day - 12 * 3600},
        {"Dec 31 23:59", now - 167 * day + 11 * 3600 + 59 * 60},
        // Not dates.
        {"", kNoTime},
        {"Foo 31 2023", kNoTime},
        {"Jan 32 2023", kNoTime},
        {"Jan 31 25:00", kNoTime},
        {"13-01-23 10:00", kNoTime},
        {"01-31-23 13:00PM", kNoTime},
    };
    for (const auto& c : dates)
        EXPECT_EQ(ListingTimeValue(c.text, now), c.value) << c.text;
}

TEST(TransferFigures, RateTextAndProgress) {
    EXPECT_EQ(RateText(5000, 0), "5000");
    EXPECT_EQ(RateText(0.5, 2), "0");
    EXPECT_EQ(RateText(2048, 1), "2.00");

    TransferFigures f = ComputeTransferFigures(1500, 500, 3000, 2.0);
    EXPECT_EQ(f.Bytes, "1000");
    EXPECT_EQ(f.TotalBytes, "1500");
    EXPECT_EQ(f.Speed, "0.49");
    EXPECT_EQ(f.PercentDone, "50.00");
    EXPECT_EQ(f.Remain, "00:00:03");
    TransferFigures unknown = ComputeTransferFigures(10, 10, 0, 1.0);
    EXPECT_TRUE(unknown.PercentDone.empty());
    EXPECT_TRUE(unknown.Remain.empty());
    EXPECT_EQ(ComputeTransferFigures(0, 0, 7200 * 100 + 100, 1.0).Remain, "");
}

TEST(RemoteListing, DoubleClickActionByKind) {
    struct Case {
        RemoteIcon icon;
        const char* caption;
        RemoteOpenAction action;
        const char* folder;
    };
    const Case cases[] = {
        {RemoteIcon::Folder, "docs", RemoteOpenAction::EnterFolder, "docs"},
        {RemoteIcon::File, "a.txt", RemoteOpenAction::QueueDownload, ""},
        {RemoteIcon::Link, "latest -> releases/2.0", RemoteOpenAction::EnterFolder, "latest"},
        {RemoteIcon::Link, ".hidden -> x", RemoteOpenAction::Nothing, ""},
    };
    for (const Case& c : cases) {
        RemoteItem item;
        item.Icon = c.icon;
        item.Caption = c.caption;
        const RemoteOpen open = OpenActionFor(item);
        EXPECT_EQ(open.action, c.action) << c.caption;
        EXPECT_EQ(open.folder, c.folder) << c.caption;
    }
}
