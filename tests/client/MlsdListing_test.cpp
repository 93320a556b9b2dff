#include "client/MlsdListing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

TEST(MlsdListing, FactsGiveIconSizeAndSecondPreciseDate) {
    // Dates are shown in local time: the expectations are made the same way
    // from the UTC value.
    const std::string when = MlsdTimeText("20240131101502");
    ASSERT_EQ(when.size(), 19u);
    const std::string text = "type=cdir;modify=20240101000000; .\r\n"
                             "type=pdir;modify=20240101000000; ..\r\n"
                             "type=file;size=1234567;modify=20240131101502;perm=r; a file.txt\r\n"
                             "Type=DIR;Modify=20240131101502; sub\r\n"
                             "type=OS.unix=symlink;size=9;modify=20240131101502; to-file\r\n"
                             "type=OS.unix=slink:/data/target;modify=20240131101502; ln\r\n"
                             "type=file;sizd=7;size=12;modify=20240131101502.123; frac\n"
                             "type=file;size=1;modify=bogus; no-date\n"
                             "no facts and no blank\n"
                             "type=file;size=1; \n";
    const auto items = ParseMlsdListing(text);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].Caption, "a file.txt");
    EXPECT_EQ(items[0].Icon, RemoteIcon::File);
    EXPECT_EQ(items[0].Size, 1234567);
    EXPECT_EQ(items[0].SizeText, "1234567");
    EXPECT_EQ(items[0].Modified, 1706696102); // 2024-01-31 10:15:02 UTC
    EXPECT_EQ(items[0].DateText, when);
    EXPECT_EQ(items[1].Caption, "sub");
    EXPECT_EQ(items[1].Icon, RemoteIcon::Folder);
    EXPECT_EQ(items[2].Icon, RemoteIcon::Link);
    EXPECT_EQ(items[2].Caption, "to-file");
    EXPECT_EQ(items[3].Icon, RemoteIcon::Link);
    EXPECT_EQ(items[3].Caption, "ln -> /data/target");
    EXPECT_EQ(LinkTargetName(items[3].Caption), "ln");
    EXPECT_EQ(items[4].Size, 12);
    EXPECT_EQ(items[4].DateText, when);
    EXPECT_EQ(items[5].Caption, "no-date");
    EXPECT_EQ(items[5].DateText, "");
    EXPECT_EQ(items[5].Modified, kNoTime);
}

TEST(MlsdListing, TimeValuesAreUtc) {
    long long seconds = 0;
    ASSERT_TRUE(MlsdTimeValue("19700102000001", seconds));
    EXPECT_EQ(seconds, 86401);
    for (const char* bad : {"", "2024013110150", "20241331101500", "2024013110150x",
                            "20240131101500.", "20240131101500,5"})
        EXPECT_FALSE(MlsdTimeValue(bad, seconds)) << bad;
    // The shown text is that instant in local time.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(MlsdTimeText("20240131101502"), "2024-01-31 10:15:02");
    ::unsetenv("TZ");
    ::tzset();
}
