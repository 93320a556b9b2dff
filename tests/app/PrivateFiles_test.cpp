// Files that hold passwords and keys are readable by their owner only: made
// so at start-up when an older version left them open, and kept so by every
// write.
#include "AppTestEnv.h"
#include "CaptureSink.h"
#include "accounts/AccountRecords.h"
#include "app/AppShell.h"
#include "support/Peers.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testing_support;

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

struct PrivateFilesTest : AppTestEnv {
    std::string data = root.File("data/");
    ScriptedPrompts prompts;
    CaptureSink sink;

    std::vector<std::string> StartAndLog() {
        AppShell shell(data, data + "vexa2.ini", data + "vexa2.hlp", &prompts);
        shell.Log().AddSink(&sink);
        sink.lines.clear();
        shell.StartUp();
        std::vector<std::string> lines;
        for (const std::string& line : sink.Lines(logServer))
            if (line.find("readable by its owner only") != std::string::npos)
                lines.push_back(line);
        shell.Log().RemoveSink(&sink);
        shell.Shutdown();
        return lines;
    }
};

} // namespace

TEST_F(PrivateFilesTest, OpenFilesAreClosedAtStartUpAndStayClosed) {
    ::mkdir(data.c_str(), 0755);
    accounts::UserRecord alice{};
    alice.Name.Set("alice");
    alice.Password.Set("secret");
    const std::string record(reinterpret_cast<const char*>(&alice), sizeof alice);
    WriteFile(data + "vexa2users.dat", record);
    WriteFile(data + "vexa2groups.dat", "");
    WriteFile(data + "vexa2sites.dat", "");
    WriteFile(data + "ipdenials.dat", "10.*\r\n");
    for (const char* name :
         {"vexa2users.dat", "vexa2groups.dat", "vexa2sites.dat", "ipdenials.dat"})
        ::chmod((data + name).c_str(), 0644);

    const auto lines = StartAndLog();
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Made " + data +
                            "vexa2users.dat readable by its owner only (mode 0600, was 0644): it "
                            "holds passwords or keys."),
              lines.end());
    // The working copies made from them, the site store and the settings
    // file are private; the address list holds no secret and is left alone.
    for (const char* name : {"vexa2users.dat", "vexa2users.tmp", "vexa2groups.dat",
                             "vexa2groups.tmp", "vexa2sites.dat", "vexa2.ini"})
        EXPECT_EQ(ModeOf(data + name), 0600u) << name;
    EXPECT_EQ(ModeOf(data + "ipdenials.dat"), 0644u);
    EXPECT_EQ(ReadFile(data + "vexa2users.tmp"), record);

    // Nothing left to mend: the next start says nothing.
    EXPECT_TRUE(StartAndLog().empty());
}
