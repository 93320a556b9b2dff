#include "CaptureSink.h"
#include "Peers.h"
#include "TempDir.h"
#include "app/LogSink.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/WriteLog.h"

#include <QDir>
#include <gtest/gtest.h>

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class WriteLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        logger.AddSink(&screen);
        logger.Now = [this] { return now; };
    }
    void LogToFiles() {
        settings.SetBool(keys::LogToFile, true);
        settings.SetString(keys::ClientLogFile, dir.File("client.log"));
        settings.SetString(keys::ServerLogFile, dir.File("server.log"));
    }

    TempDir dir;
    Settings settings{dir.Path()};
    Logger logger{settings};
    CaptureSink screen;
    QDateTime now{QDate(2026, 3, 7), QTime(14, 5, 9)};
};

} // namespace

TEST_F(WriteLogTest, PasswordsAreMaskedToThirteenCharactersAndThirteenStars) {
    const std::string masked = "SEND -> PASS *************";
    for (const std::string& password :
         std::vector<std::string>{"", "x", "hunter2", std::string(300, 'p')})
        EXPECT_EQ(MaskPassword("SEND -> PASS " + password), masked) << password;
    // Clients may send the command in any case; the password never shows.
    EXPECT_EQ(MaskPassword("RECV <- pass letmein "), "RECV <- pass *************");
    EXPECT_EQ(MaskPassword("SEND -> USER PASS"), "SEND -> USER PASS");
    EXPECT_EQ(MaskPassword("PASS at the start"), "PASS at the start");

    LogToFiles();
    logger.WriteLog(logClient, "SEND -> PASS topsecret", colours::clMaroon);
    ASSERT_EQ(screen.Lines(logClient), std::vector<std::string>{masked});
    EXPECT_EQ(ReadFile(dir.File("client.log")), masked + "\n");

    settings.SetBool(keys::MaskPasswords, false);
    logger.WriteLog(logClient, "SEND -> PASS topsecret", colours::clMaroon);
    EXPECT_EQ(screen.Lines(logClient).back(), "SEND -> PASS topsecret");
}

TEST_F(WriteLogTest, VerbosityFilterHidesTracesOnScreenOnly) {
    LogToFiles();
    const std::vector<std::string> trace = {
        "RECV <- LIST  ",
        "SEND -> 150 Opening data connection",
        "RECV <- USER anna ",
        "SEND -> 230 User logged in.",
        "SEND -> 226 File sent ok",
        "Client connected",
        "SENDING starts like a trace",
    };
    for (const std::string& t : trace)
        logger.WriteLog(logServer, t, colours::clPurple);
    EXPECT_EQ(screen.Lines(logServer),
              (std::vector<std::string>{"RECV <- USER anna ", "SEND -> 230 User logged in.",
                                        "Client connected"}));
    std::string all;
    for (const std::string& t : trace)
        all += t + "\n";
    EXPECT_EQ(ReadFile(dir.File("server.log")), all);

    settings.SetBool(keys::VerboseLogging, true);
    logger.WriteLog(logServer, "RECV <- LIST  ", colours::clPurple);
    EXPECT_EQ(screen.Lines(logServer).back(), "RECV <- LIST  ");
}

TEST_F(WriteLogTest, FilterTable) {
    for (const char* shown : {"USER", "PASS", "QUIT", "ABOR", "220", "421", "500", "530", "503",
                              "230", "501", "221", "426", "550", "553", "331"}) {
        EXPECT_TRUE(ShownWhenNotVerbose(std::string("SEND -> ") + shown + " x")) << shown;
        EXPECT_TRUE(ShownWhenNotVerbose(std::string("RECV <- ") + shown)) << shown;
    }
    for (const char* hidden : {"LIST", "RETR", "150", "226", "257", "user", "SEND", "RECV"})
        EXPECT_FALSE(ShownWhenNotVerbose(std::string("SEND -> ") + hidden)) << hidden;
}

TEST_F(WriteLogTest, LevelThreeStampsEachLogOnce) {
    settings.SetBool(keys::TimestampEvents, true);
    LogToFiles();
    logger.WriteLog(logBoth, "Application Initialization Begin", colours::clBlack);
    const std::string stamped = EventTimeStamp(now) + " Application Initialization Begin";
    EXPECT_NE(EventTimeStamp(now).find("14:05:09"), std::string::npos) << EventTimeStamp(now);
    EXPECT_EQ(screen.Lines(logClient), std::vector<std::string>{stamped});
    EXPECT_EQ(screen.Lines(logServer), std::vector<std::string>{stamped});
    ASSERT_EQ(screen.lines.size(), 2u);
    EXPECT_EQ(screen.lines[0].colour, colours::clBlack);
    EXPECT_EQ(ReadFile(dir.File("client.log")), stamped + "\n");
    EXPECT_EQ(ReadFile(dir.File("server.log")), stamped + "\n");
}

TEST_F(WriteLogTest, TimestampLogsGivesOneFilePerRunNamedWithTheStamp) {
    LogToFiles();
    settings.SetBool(keys::TimestampLogs, true);
    settings.SetBool(keys::AppendLogs, true); // ignored while the logs are stamped
    logger.WriteLog(logServer, "first run, line 1", colours::clBlue);
    now = now.addSecs(5); // later lines of the run stay in the run's file
    logger.WriteLog(logServer, "first run, line 2", colours::clBlue);

    Logger secondRun(settings);
    secondRun.Now = [this] { return now.addSecs(60); };
    secondRun.WriteLog(logServer, "second run", colours::clBlue);

    const std::string first = dir.File("server.log 20260307140509.log");
    const std::string second = dir.File("server.log 20260307140614.log");
    EXPECT_EQ(logger.LogFileName(logServer), first);
    EXPECT_EQ(ReadFile(first), "first run, line 1\nfirst run, line 2\n");
    EXPECT_EQ(ReadFile(second), "second run\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("server.log"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("client.log 20260307140509.log"))));
}

TEST_F(WriteLogTest, AppendLogsAppendsElseEachRunStartsAfresh) {
    LogToFiles();
    WriteFile(dir.File("client.log"), "from before\n");
    settings.SetBool(keys::AppendLogs, true);
    logger.WriteLog(logClient, "appended", colours::clGreen);
    EXPECT_EQ(ReadFile(dir.File("client.log")), "from before\nappended\n");

    settings.SetBool(keys::AppendLogs, false);
    logger.ClearOpenedFlags(); // a new run
    logger.WriteLog(logClient, "fresh", colours::clGreen);
    EXPECT_EQ(ReadFile(dir.File("client.log")), "fresh\n");
}

TEST_F(WriteLogTest, EmptyPathOrLoggingOffWritesNothing) {
    settings.SetBool(keys::LogToFile, true);
    settings.SetString(keys::ServerLogFile, dir.File("server.log"));
    logger.WriteLog(logBoth, "to the server file only", colours::clBlack);
    EXPECT_EQ(ReadFile(dir.File("server.log")), "to the server file only\n");
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path())).entryList(QDir::Files),
              QStringList{"server.log"});
    EXPECT_EQ(screen.lines.size(), 2u);

    settings.SetBool(keys::LogToFile, false);
    logger.WriteLog(logServer, "screen only", colours::clBlack);
    EXPECT_EQ(ReadFile(dir.File("server.log")), "to the server file only\n");
}

TEST_F(WriteLogTest, FileErrorIsShownOnceInRedAndNeverThrown) {
    settings.SetBool(keys::LogToFile, true);
    settings.SetString(keys::ServerLogFile, dir.File("missing-folder/server.log"));
    logger.WriteLog(logServer, "one", colours::clBlack);
    logger.WriteLog(logServer, "two", colours::clBlack);
    ASSERT_EQ(screen.lines.size(), 3u);
    EXPECT_EQ(screen.lines[1].line.rfind(
                  "Cannot write log file " + dir.File("missing-folder/server.log") + ": ", 0),
              0u);
    EXPECT_EQ(screen.lines[1].colour, colours::clRed);
    EXPECT_EQ(screen.lines[2].line, "two");

    // Once the folder is there, the next line opens the file.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.File("missing-folder"))));
    logger.WriteLog(logServer, "three", colours::clBlack);
    EXPECT_EQ(ReadFile(dir.File("missing-folder/server.log")), "three\n");
}

TEST_F(WriteLogTest, WriterFeedsTheLogger) {
    LogWriter write = logger.Writer();
    write(logServer, "FTP Server Started listening on port 21", colours::clBlue);
    ASSERT_EQ(screen.lines.size(), 1u);
    EXPECT_EQ(screen.lines[0].log, logServer);
    EXPECT_EQ(screen.lines[0].colour, colours::clBlue);
    logger.RemoveSink(&screen);
    write(logServer, "unseen", colours::clBlue);
    EXPECT_EQ(screen.lines.size(), 1u);
}

TEST_F(WriteLogTest, ChangedPathStartsANewFileEmptiedPathStopsWriting) {
    LogToFiles();
    logger.WriteLog(logServer, "one", colours::clBlack);
    settings.SetString(keys::ServerLogFile, dir.File("renamed.log"));
    logger.WriteLog(logServer, "two", colours::clBlack);
    settings.SetString(keys::ServerLogFile, "");
    logger.WriteLog(logServer, "three", colours::clBlack);
    EXPECT_EQ(ReadFile(dir.File("server.log")), "one\n");
    EXPECT_EQ(ReadFile(dir.File("renamed.log")), "two\n");
    EXPECT_EQ(logger.LogFileName(logServer), dir.File("renamed.log"));
}
