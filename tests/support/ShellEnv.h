#pragma once
#include "app/AppShell.h"
#include "app/SettingsKeys.h"
#include "client/ClientSession.h"
#include "support/EventLoop.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestAccount.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace testing_support {

// A whole program without its window, in its own folders: the shell started
// up on a fresh data folder, with the account alice/secret whose home is the
// served folder (every right), the server on a free port once started, and
// the client's current site pointing at it.
struct ShellEnv {
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPass = "secret";

    TempDir root;
    std::string data = root.File("data/");
    std::string served = root.File("served/");
    ScriptedPrompts prompts;
    std::unique_ptr<AppShell> shell;

    // shellPrompts answers the shell's questions instead of the scripted
    // prompts (the window's dialogs, in tests that drive them as a user).
    explicit ShellEnv(const std::string& accountKey = {}, Prompts* shellPrompts = nullptr) {
        ::setenv("XDG_DATA_HOME", root.File("xdg-data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", root.File("xdg-config").c_str(), 1);
        ::mkdir(data.c_str(), 0700);
        ::mkdir(served.c_str(), 0700);
        shell = std::make_unique<AppShell>(data, data + "vexa2.ini", data + "vexa2.hlp",
                                           shellPrompts ? shellPrompts : &prompts);
        shell->StartUp();
        Settings& options = shell->Options();
        options.SetString(keys::ServerPort, "0");
        options.SetBool(keys::IdleTimeout, false);
        options.SetString(keys::MaximumConcurrentUsers, "0");

        EXPECT_TRUE(AddAccount(kUser, kPass, accountKey, served));
    }

    // An enabled account whose home is home, with every right there.
    bool AddAccount(const std::string& name, const std::string& password, const std::string& key,
                    const std::string& home) {
        return shell->Accounts().Users().Append(EveryRightAccount(name, password, key, home));
    }

    ~ShellEnv() {
        if (shell)
            shell->Shutdown();
    }

    bool StartServer() {
        std::string error;
        const bool ok = shell->StartServer(error);
        EXPECT_TRUE(ok) << error;
        if (ok)
            PointClientAtServer();
        return ok;
    }

    int Port() { return std::stoi(shell->Server().ListeningPort()); }

    void PointClientAtServer() {
        SiteRecord& site = shell->Client().CurrentSite;
        site.Name = "own";
        site.Host = "127.0.0.1";
        site.Port = std::to_string(Port());
        site.UserName = kUser;
        site.Password = kPass;
        site.Passive = true;
    }
};

// Connects the shell's client to its current site and waits until the first
// listing is shown; false when it did not come.
inline bool ConnectAndList(AppShell& shell) {
    if (!shell.ConnectClient().empty())
        return false;
    ClientSession& s = shell.Client();
    return RunLoopUntil([&] { return s.Groups().RemoteUp || !s.Groups().Disconnect; }, 60000) &&
           s.Groups().RemoteUp;
}

} // namespace testing_support
