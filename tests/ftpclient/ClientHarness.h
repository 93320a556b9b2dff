#pragma once
#include "EventLoop.h"
#include "ftpclient/TFtpClient.h"

#include <string>
#include <vector>

// Records what a client reports, for tests that drive it on the event loop.
struct ClientHarness {
    struct Done {
        TFtpRequest request;
        int error;
    };
    TFtpClient client;
    std::vector<Done> done;
    std::vector<std::string> display;
    std::vector<std::string> responses;
    std::vector<std::string> commands;

    ClientHarness() {
        client.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, int error) {
            done.push_back({rq, error});
        };
        client.OnDisplay = [this](TCustomFtpCli*, const std::string& msg) {
            display.push_back(msg);
        };
        client.OnResponse = [this](TCustomFtpCli* c) { responses.push_back(c->LastResponse()); };
        client.OnCommand = [this](TCustomFtpCli*, std::string& cmd) { commands.push_back(cmd); };
    }

    // Starts a request and waits for its OnRequestDone; returns its error word
    // (-1000 when none came in time).
    template <typename Start> int Run(Start start, int timeoutMs = 20000) {
        std::size_t before = done.size();
        start();
        if (!testing_support::RunLoopUntil([&] { return done.size() > before; }, timeoutMs))
            return -1000;
        return done.back().error;
    }

    int CountCommands(const std::string& prefix) const {
        int n = 0;
        for (const auto& c : commands)
            if (c.rfind(prefix, 0) == 0)
                ++n;
        return n;
    }
};
