// The update check against Python's HTTP server and a scripted HTTP peer on
// 127.0.0.1, and the reading of published build numbers.
#include "AppTestEnv.h"
#include "CaptureSink.h"
#include "EventLoop.h"
#include "Peers.h"
#include "PythonPeer.h"

#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/UpdateCheck.h"
#include "app/WriteLog.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

using namespace testing_support;
using Outcome = UpdateCheckResult::Outcome;

namespace {

// Answers each connection with the bytes of the file "reply" in its folder
// after keeping the request it read in "request"; a reply of "HANG" keeps
// the connection open without a word until the client leaves.
const char* kScriptedHttpPeer = R"(
import socket, sys
folder = sys.argv[1]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(('127.0.0.1', 0))
server.listen(8)
print(server.getsockname()[1], flush=True)
while True:
    conn, _ = server.accept()
    request = b''
    while b'\r\n\r\n' not in request:
        chunk = conn.recv(4096)
        if not chunk:
            break
        request += chunk
    with open(folder + 'request', 'wb') as f:
        f.write(request)
    reply = open(folder + 'reply', 'rb').read()
    if reply == b'HANG':
        while conn.recv(4096):
            pass
    else:
        conn.sendall(reply)
    conn.close()
)";

class UpdateCheckTest : public AppTestEnv {
protected:
    void SetUp() override {
        AppTestEnv::SetUp();
        std::filesystem::create_directories(DataFolder());
        logger.AddSink(&sink);
    }
    void TearDown() override { logger.RemoveSink(&sink); }

    // Runs one check against host; nullopt when it never reported.
    std::optional<UpdateCheckResult> Check(const std::string& host,
                                           const std::string& versionText = kVersionText,
                                           const std::function<void(UpdateCheck&)>& tune = {}) {
        settings.SetString(keys::UpdateHost, host);
        UpdateCheck check(settings, logger, DataFolder(), versionText);
        if (tune)
            tune(check);
        std::optional<UpdateCheckResult> result;
        int reports = 0;
        EXPECT_TRUE(check.Start([&](const UpdateCheckResult& r) {
            result = r;
            ++reports;
        }));
        EXPECT_FALSE(check.Start([](const UpdateCheckResult&) {}))
            << "a second check while one runs";
        EXPECT_TRUE(RunLoopUntil([&] { return reports > 0; }, 20000));
        RunLoopFor(50);
        EXPECT_EQ(reports, 1);
        return result;
    }

    // The client log's lines (both logs get the same lines), all in olive.
    std::vector<std::string> ClientLog() const {
        for (const Captured& c : sink.lines)
            EXPECT_EQ(c.colour, colours::clOlive) << c.line;
        return sink.Lines(logClient);
    }

    Settings settings{DataFolder()};
    Logger logger{settings};
    CaptureSink sink;
};

} // namespace

TEST_F(UpdateCheckTest, ReadsPagesOfARealHttpServer) {
    struct Case {
        const char* name;
        std::optional<std::string> page; // nullopt: no index.html at all
        std::string versionText;
        Outcome outcome;
        std::string foundLine; // empty: only the request line is logged
        std::string errorText;
    };
    const std::vector<Case> cases = {
        {"newer build", "<html><p>Vexa 2 (Build 2.0.6.400)</p></html>\r\n", kVersionText,
         Outcome::Newer, "Found Vexa version 2.0.6.400 - this is a newer version", ""},
        {"equal build", "<p>(Build 2.0.6.323)</p>\n", kVersionText, Outcome::UpToDate,
         "Found Vexa version 2.0.6.323 - you are already up-to-date", ""},
        {"four-digit build", "(Build 2.0.6.1000)", "Vexa Version 2.0.6.999", Outcome::Newer,
         "Found Vexa version 2.0.6.1000 - this is a newer version", ""},
        {"no build mark", "<html>Vexa, the FTP program</html>", kVersionText, Outcome::NoBuildMark,
         "", ""},
        {"missing page", std::nullopt, kVersionText, Outcome::Error, "",
         "Error 404 - HTTP/1.0 404 File not found"},
    };
    TempDir site;
    PythonHttpServer server(site.Path());
    ASSERT_NE(server.Port(), 0) << server.Error();
    const std::string host = "127.0.0.1:" + server.PortText();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sink.lines.clear();
        std::filesystem::remove(site.File("index.html"));
        std::filesystem::remove(DataFolder() + "update.tmp");
        if (c.page)
            WriteFile(site.File("index.html"), *c.page);

        std::optional<UpdateCheckResult> result = Check(host, c.versionText);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, c.outcome);
        EXPECT_EQ(result->errorText, c.errorText);
        std::vector<std::string> expected = {
            "Checking for application update - requesting http://" + host + "/index.html"};
        if (!c.foundLine.empty())
            expected.push_back(c.foundLine);
        EXPECT_EQ(ClientLog(), expected);
        EXPECT_EQ(sink.lines.size(), 2 * expected.size()) << "each line in both logs";
        if (c.page)
            EXPECT_EQ(ReadFile(DataFolder() + "update.tmp"), *c.page);
        else
            EXPECT_FALSE(std::filesystem::exists(DataFolder() + "update.tmp"));
    }

    // The newer build's question and the installer on the same host.
    WriteFile(site.File("index.html"), "(Build 2.0.7.001");
    std::optional<UpdateCheckResult> newer = Check(host);
    ASSERT_TRUE(newer);
    EXPECT_EQ(newer->outcome, Outcome::Newer);
    EXPECT_EQ(newer->question, "New version found.  Vexa Version 2.0.7.001 is available, but you "
                               "only have version 2.0.6.323 installed.  Download new version?");
    EXPECT_EQ(newer->installerUrl, "http://" + host + "/vexa2setup.exe");
}

TEST_F(UpdateCheckTest, SendsExactlyTheRequestHeadersAndReportsBrokenAnswers) {
    TempDir peerFolder;
    PythonPeer peer(kScriptedHttpPeer, {peerFolder.Path()});
    ASSERT_NE(peer.Port(), 0) << peer.Error();
    const std::string host = "127.0.0.1:" + peer.PortText();

    struct Case {
        const char* name;
        std::string reply;
        Outcome outcome;
        std::string errorText;
        std::string page; // what update.tmp holds afterwards
    };
    const std::string build = "<b>(Build 2.0.6.400)</b>";
    const std::vector<Case> cases = {
        {"status line and headers", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + build,
         Outcome::Newer, "", build},
        {"content length ends the page",
         "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(build.size()) + "\r\n\r\n" + build +
             "(Build 9.9.9.9)",
         Outcome::Newer, "", build},
        {"bare LF lines", "HTTP/1.0 200 OK\nServer: x\n\n" + build, Outcome::Newer, "", build},
        {"page without a header", build, Outcome::Newer, "", build},
        {"page cut short of its length",
         "HTTP/1.0 200 OK\r\nContent-Length: 400\r\n\r\n(Build 2.0.6.1", Outcome::Error,
         "Error 10054 - Content-Length: 400", ""},
        {"header never ends", "HTTP/1.0 200 OK\r\nServer: x\r\n", Outcome::Error, "Error 10054 - ",
         ""},
        {"empty page", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", Outcome::Error,
         "Error 0 - Server: x", ""},
        {"nothing at all", "", Outcome::Error, "Error 0 - ", ""},
        {"refusal", "HTTP/1.0 503 Service Unavailable\r\nRetry-After: 60\r\n\r\nbusy",
         Outcome::Error, "Error 503 - HTTP/1.0 503 Service Unavailable", ""},
        {"number that is no number", "HTTP/1.0 200 OK\r\n\r\n(Build 2.0.x", Outcome::Error,
         "'' is not a valid integer value", "HTTP/1.0 200 OK\r\n\r\n(Build 2.0.x"},
        {"silent server", "HANG", Outcome::Error, "Error 10060 - ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(DataFolder() + "update.tmp");
        WriteFile(peerFolder.File("reply"), c.reply);
        std::optional<UpdateCheckResult> result =
            Check(host, kVersionText, [](UpdateCheck& check) { check.Http().TimeoutMs = 500; });
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, c.outcome);
        EXPECT_EQ(result->errorText, c.errorText);
        if (c.outcome != Outcome::Error) {
            EXPECT_EQ(ReadFile(DataFolder() + "update.tmp"), c.page);
        }
        EXPECT_EQ(ReadFile(peerFolder.File("request")),
                  "GET /index.html HTTP/1.0\r\n"
                  "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
                  "User-Agent: Mozilla/3.0 (compatible)\r\n"
                  "Host: " +
                      host + "\r\n\r\n");
    }

    // A page beyond the limit is refused rather than held.
    WriteFile(peerFolder.File("reply"), "HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'x'));
    std::optional<UpdateCheckResult> big =
        Check(host, kVersionText, [](UpdateCheck& check) { check.Http().MaxPageSize = 1000; });
    ASSERT_TRUE(big);
    EXPECT_EQ(big->errorText, "Error 10040 - HTTP/1.0 200 OK");
    WriteFile(peerFolder.File("reply"), "HTTP/1.0 200 OK\r\nX: " + std::string(5000, 'x'));
    big = Check(host, kVersionText, [](UpdateCheck& check) { check.Http().MaxHeaderSize = 1000; });
    ASSERT_TRUE(big);
    EXPECT_EQ(big->errorText, "Error 10040 - ");
}

TEST_F(UpdateCheckTest, ReportsHostsThatCannotBeReached) {
    struct Case {
        std::string host;
        std::string errorText;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1:" + std::to_string(FreePort()), "Error 10061 - "},
        {"localhost:" + std::to_string(FreePort()), "Error 10061 - "},
        {"127.0.0.1:0", "Error 10022 - "},
        {"127.0.0.1:99999", "Error 10022 - "},
        {"", "Error 10022 - "},
        {"evil.example\r\nX-Injected: 1", "Error 10022 - "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        std::optional<UpdateCheckResult> result = Check(c.host);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->outcome, Outcome::Error);
        EXPECT_EQ(result->errorText, c.errorText);
    }
}

TEST(UpdateVersion, ReadsAndComparesPublishedBuilds) {
    struct Case {
        std::string page;
        std::string versionText;
        Outcome outcome;
        std::string published;
        std::string errorText;
    };
    const std::vector<Case> cases = {
        {"(Build 2.0.6.323", kVersionText, Outcome::UpToDate, "2.0.6.323", ""},
        {"x (Build 2.0.7.001) y", kVersionText, Outcome::Newer, "2.0.7.001", ""},
        {"(Build 2.0.5.400", kVersionText, Outcome::UpToDate, "2.0.5.400", ""},
        {"(Build 3.0.0.0", kVersionText, Outcome::Newer, "3.0.0.0", ""},
        {"(Build 2.0.6.322", kVersionText, Outcome::UpToDate, "2.0.6.322", ""},
        // Not cut at nine characters: the last digit of a four-digit build counts.
        {"(Build 2.0.6.1000", "Vexa Version 2.0.6.999", Outcome::Newer, "2.0.6.1000", ""},
        {"(Build 2.0.6.999", "Vexa Version 2.0.6.1000", Outcome::UpToDate, "2.0.6.999", ""},
        {"(Build:2.0.6.400", kVersionText, Outcome::Newer, "2.0.6.400", ""},
        {"no mark here", kVersionText, Outcome::NoBuildMark, "", ""},
        {"(Build", kVersionText, Outcome::Error, "", "'' is not a valid integer value"},
        {"(Build 2.0", kVersionText, Outcome::Error, "2.0", "'' is not a valid integer value"},
        {"(Build 2.0.6.3.2", kVersionText, Outcome::Error, "2.0.6.3.2",
         "'3.2' is not a valid integer value"},
        {"(Build 2.0.6.99999999999", kVersionText, Outcome::Error, "2.0.6.99999999999",
         "'99999999999' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        UpdateCheckResult result = EvaluateUpdatePage(c.page, c.versionText, "http://h/i");
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.publishedVersion, c.published);
        EXPECT_EQ(result.errorText, c.errorText);
    }
    EXPECT_EQ(EvaluateUpdatePage("", kVersionText, "").ownVersion, "2.0.6.323");
}
