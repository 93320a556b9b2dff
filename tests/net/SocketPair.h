#pragma once
// A listening TWSocket on 127.0.0.1 and one connected pair made through it.
#include "EventLoop.h"
#include "net/TWSocket.h"

#include <memory>

struct LoopbackListener {
    TWSocket listener;
    std::unique_ptr<TWSocket> accepted;
    int acceptedCount = 0;

    LoopbackListener() {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](TCustomWSocket*, int) {
            int handle = listener.Accept();
            accepted = std::make_unique<TWSocket>();
            accepted->Dup(handle);
            ++acceptedCount;
        };
        listener.Listen();
    }
    std::string Port() { return listener.GetXPort(); }
};

// Connects client to listener and waits until both ends are up.
inline bool ConnectPair(LoopbackListener& server, TWSocket& client) {
    bool connected = false;
    int error = -1;
    auto previous = client.OnSessionConnected;
    client.OnSessionConnected = [&](TCustomWSocket* s, int e) {
        connected = true;
        error = e;
        if (previous)
            previous(s, e);
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(server.Port());
    client.Connect();
    bool ok =
        testing_support::RunLoopUntil([&] { return connected && server.accepted != nullptr; });
    client.OnSessionConnected = previous;
    return ok && error == 0;
}
