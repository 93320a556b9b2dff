#include "Peers.h"
#include "TempDir.h"
#include "app/IniFile.h"

#include <QFile>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(IniFile, ReadsLikeThePrivateProfileFunctions) {
    const IniFile ini = IniFile::FromText("\xEF\xBB\xBF[First]\r\n"
                                          "; a comment=not a key\r\n"
                                          "  Key = spaced value  \r\n"
                                          "key=second of the same name\r\n"
                                          "NoEquals\r\n"
                                          "Empty=\r\n"
                                          "Eq=a=b\r\n"
                                          "[ second ]\r\n"
                                          "x=1\r\n"
                                          "[Unclosed\r\n"
                                          "y=2");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"First", "Key", "spaced value"},
        {"FIRST", "KEY",
         "spaced value"}, // names match without regard to case; the first duplicate wins
        {"First", "Empty", ""},
        {"First", "Eq", "a=b"},
        {"First", "NoEquals", std::nullopt},
        {"First", "; a comment", std::nullopt},
        {"Second", "x", "1"},
        {"First", "x", std::nullopt},
        {"Unclosed", "y", "2"},
        {"Missing", "Key", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.Read(c.section, c.key), c.expected) << c.section << "/" << c.key;
}

TEST(IniFile, WritesInPlace) {
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        // Unchanged value: the line is left exactly as it was.
        {"[S]\r\n k = v \r\n", "s", "K", "v", "[S]\r\n k = v \r\n"},
        {"[S]\r\nk=v\r\n", "S", "k", "w", "[S]\r\nk=w\r\n"},
        // A new key goes after the last entry of its section, before blank lines.
        {"[S]\r\na=1\r\n\r\n[T]\r\n", "S", "b", "2", "[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\n"},
        {"[S]\na=1\n", "T", "b", "2", "[S]\na=1\n[T]\nb=2\n"},
        {"[S]\na=1", "S", "b", "2", "[S]\na=1\nb=2\n"},
        {"[S]\na=1", "S", "a", "3", "[S]\na=3"},
        {"", "S", "a", "1", "[S]\r\na=1\r\n"},
        {"[S]\r\n", "S", "a", "x\r\ny", "[S]\r\na=xy\r\n"},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::FromText(c.before);
        ini.Write(c.section, c.key, c.value);
        EXPECT_EQ(ini.ToText(), c.after) << c.before;
    }
}

TEST(IniFile, AnyBytesParseWithoutHarm) {
    std::mt19937 rng(20261210);
    static const char kAlphabet[] = "[]=;\r\n \tabcK\0\xff\xef\xbb\xbf";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 200, ' ');
        for (char& ch : text)
            ch = round % 2 ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
        IniFile ini = IniFile::FromText(text);
        ini.Read("a", "K");
        ini.Write("a", "K", "v");
        ini.Write("New Section", "k", "v");
        const IniFile again = IniFile::FromText(ini.ToText());
        EXPECT_EQ(again.Read("New Section", "k"), std::optional<std::string>("v"));
    }
}

TEST(IniFile, SaveReplacesWholeFileAndKeepsModeAndLinks) {
    TempDir dir;
    IniFile ini = IniFile::FromText("[S]\r\na=1\r\n");

    // New files are owner-only.
    ASSERT_EQ(ini.Save(dir.File("new.ini")), "");
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // An existing file keeps its mode; a symbolic link keeps pointing at it.
    WriteFile(dir.File("target.ini"), "old");
    ASSERT_EQ(::chmod(dir.File("target.ini").c_str(), 0640), 0);
    ASSERT_EQ(::symlink(dir.File("target.ini").c_str(), dir.File("link.ini").c_str()), 0);
    ASSERT_EQ(ini.Save(dir.File("link.ini")), "");
    EXPECT_EQ(ReadFile(dir.File("target.ini")), "[S]\r\na=1\r\n");
    EXPECT_TRUE(
        QFile::symLinkTarget(QString::fromStdString(dir.File("link.ini"))).endsWith("target.ini"));
    ASSERT_EQ(::stat(dir.File("target.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Failure is reported, not hidden.
    EXPECT_NE(ini.Save(dir.File("no/such/folder/x.ini")), "");
    const IniFile::LoadResult missing = IniFile::Load(dir.File("absent.ini"));
    EXPECT_EQ(missing.error, "");
    EXPECT_FALSE(missing.ini.exists());
    EXPECT_NE(IniFile::Load(dir.Path()).error, "");
}
