#pragma once
#include "EventLoop.h"
#include "Peers.h"
#include "ShellEnv.h"
#include "app/LogSink.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A shell (ShellEnv) with every client log line kept, and the steps a
// queue test takes: connect, pick remote items, run the queue until idle.
struct QueueEnv : ShellEnv {
    struct Line {
        std::string text;
        TColor colour;
    };
    struct Sink : LogSink {
        std::vector<Line> lines;
        void Write(int log, const std::string& line, TColor colour) override {
            if (log == logClient)
                lines.push_back({line, colour});
        }
    } sink;
    std::string local = root.File("local/");

    QueueEnv() {
        shell->Log().AddSink(&sink);
        shell->Options().SetBool(keys::VerboseLogging, true); // every trace line
        std::filesystem::create_directories(local);
        Queue().CountdownMs = 60000; // a test that counts down sets its own
    }
    ~QueueEnv() { shell->Log().RemoveSink(&sink); }

    TransferQueue& Queue() { return shell->Queue(); }
    ClientSession& Client() { return shell->Client(); }

    void PointClientAt(int port, const std::string& user, const std::string& pass) {
        SiteRecord& site = Client().CurrentSite;
        site.Name = "peer";
        site.Host = "127.0.0.1";
        site.Port = std::to_string(port);
        site.UserName = user;
        site.Password = pass;
        site.Passive = true;
    }

    bool Connect() {
        if (!shell->ConnectClient().empty())
            return false;
        ClientSession& s = Client();
        return RunLoopUntil([&] { return s.Groups().RemoteUp || !s.Groups().Disconnect; }, 60000) &&
               s.Groups().RemoteUp;
    }

    // The remote list's items with these names.
    std::vector<RemoteItem> Items(const std::vector<std::string>& names) {
        std::vector<RemoteItem> out;
        for (const RemoteItem& item : Client().RemoteItems())
            for (const std::string& name : names)
                if (item.Caption == name || item.Caption.rfind(name + " -> ", 0) == 0)
                    out.push_back(item);
        return out;
    }

    // Runs the queue and waits until nothing is left to start.
    bool RunQueue(int timeoutMs = 120000) {
        Queue().Run();
        TransferQueue& q = Queue();
        auto idle = [&] {
            if (q.Busy())
                return false;
            for (const QueueEntry& e : q.Entries())
                if (e.Status == "queued")
                    return false;
            return !Client().TransferRunning();
        };
        // Idle must hold for a moment: the end of one entry starts the next.
        return RunLoopUntil(idle, timeoutMs) && (RunLoopFor(50), RunLoopUntil(idle, timeoutMs));
    }

    bool Logged(const std::string& text, TColor colour) const {
        for (const Line& l : sink.lines)
            if (l.text == text && l.colour == colour)
                return true;
        return false;
    }
    // The first line that starts with prefix, or empty.
    std::string LineStarting(const std::string& prefix) const {
        for (const Line& l : sink.lines)
            if (l.text.rfind(prefix, 0) == 0)
                return l.text;
        return {};
    }
};

// Every folder and file under root by relative path: folders as "/", files
// with their bytes. Links are left out.
inline std::map<std::string, std::string> TreeOf(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            continue;
        out[rel] = it->is_directory() ? std::string("/") : ReadFile(it->path().string());
    }
    return out;
}

// Nested folders with empty ones and names with spaces.
inline void MakeTree(const std::string& root) {
    namespace fs = std::filesystem;
    fs::create_directories(root + "/sub dir/deeper one");
    fs::create_directories(root + "/sub dir/empty inner");
    fs::create_directories(root + "/empty");
    WriteFile(root + "/a file.txt", "top level\n");
    WriteFile(root + "/zero", "");
    WriteFile(root + "/sub dir/inner.bin", PatternBytes(300000, 7));
    WriteFile(root + "/sub dir/deeper one/x y.dat", PatternBytes(70001, 9));
}

} // namespace testing_support
