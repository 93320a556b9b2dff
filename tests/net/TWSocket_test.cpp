#include "EventLoop.h"
#include "Peers.h"
#include "SocketPair.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

using testing_support::RunLoopFor;
using testing_support::RunLoopUntil;

TEST(TWSocket, ListenAcceptDupAndAddresses) {
    LoopbackListener server;
    EXPECT_EQ(server.listener.State(), wsListening);
    EXPECT_NE(server.Port(), "0");
    EXPECT_NE(server.Port(), "error");

    std::vector<std::pair<TSocketState, TSocketState>> changes;
    TWSocket client;
    client.OnChangeState = [&](TCustomWSocket*, TSocketState from, TSocketState to) {
        changes.emplace_back(from, to);
    };
    ASSERT_TRUE(ConnectPair(server, client));
    EXPECT_EQ(client.State(), wsConnected);
    EXPECT_EQ(server.accepted->State(), wsConnected);
    EXPECT_EQ(server.accepted->GetPeerAddr(), "127.0.0.1");
    EXPECT_EQ(server.accepted->GetPeerPort(), client.GetXPort());
    EXPECT_EQ(client.GetPeerPort(), server.Port());
    EXPECT_EQ(server.listener.LastAcceptedHandle(), server.accepted->HSocket());
    std::vector<std::pair<TSocketState, TSocketState>> expected = {
        {wsClosed, wsOpened}, {wsOpened, wsConnecting}, {wsConnecting, wsConnected}};
    EXPECT_EQ(changes, expected);
    TWSocket idle;
    EXPECT_EQ(idle.GetPeerAddr(), "error");
    EXPECT_EQ(idle.GetXPort(), "error");
}

TEST(TWSocket, TenMegabytesEchoedByteForByte) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    // The accepted end echoes everything it reads.
    server.accepted->OnDataAvailable = [&](TCustomWSocket* s, int) {
        char buffer[8192];
        int n = s->Receive(buffer, sizeof buffer);
        if (n > 0)
            s->Send(buffer, n);
    };
    const std::string payload = testing_support::PatternBytes(10 * 1000 * 1000, 7);
    std::string echoed;
    client.OnDataAvailable = [&](TCustomWSocket* s, int) { echoed += s->ReceiveStr(); };
    // Queue the whole payload at once: the send queue must hold and drain it.
    client.Send(payload.data(), static_cast<int>(payload.size()));
    ASSERT_TRUE(RunLoopUntil([&] { return echoed.size() >= payload.size(); }, 60000));
    EXPECT_TRUE(echoed == payload);
    EXPECT_TRUE(client.AllSent());
}

TEST(TWSocket, DataSentIsRaisedFromTheLoopNeverInsideSend) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    bool insideSend = false;
    int sentEvents = 0;
    bool raisedInside = false;
    client.OnDataSent = [&](TCustomWSocket*, int error) {
        EXPECT_EQ(error, 0);
        raisedInside |= insideSend;
        ++sentEvents;
    };
    insideSend = true;
    EXPECT_EQ(client.SendStr("hello"), 5);
    insideSend = false;
    EXPECT_EQ(sentEvents, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return sentEvents > 0; }));
    EXPECT_FALSE(raisedInside);
}

TEST(TWSocket, SessionClosedAtMostOncePerConnection) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    int clientClosed = 0, serverClosed = 0;
    client.OnSessionClosed = [&](TCustomWSocket*, int) { ++clientClosed; };
    server.accepted->OnSessionClosed = [&](TCustomWSocket*, int) { ++serverClosed; };
    std::string received;
    server.accepted->OnDataAvailable = [&](TCustomWSocket* s, int) { received += s->ReceiveStr(); };
    client.SetLingerOnOff(wsLingerOff);
    client.SendStr("last words");
    RunLoopFor(50);
    client.Close();
    client.Close(); // closing a closed socket does nothing
    EXPECT_EQ(clientClosed, 1);
    ASSERT_TRUE(RunLoopUntil([&] { return serverClosed > 0; }));
    RunLoopFor(100);
    EXPECT_EQ(serverClosed, 1);
    EXPECT_EQ(received, "last words"); // nothing lost before the close
    EXPECT_EQ(server.accepted->State(), wsClosed);
    server.accepted->Close();
    EXPECT_EQ(serverClosed, 1);
}

TEST(TWSocket, ClosedSocketForgetsAddressAndRefusesToSend) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    client.Close();
    try {
        client.Connect();
        FAIL() << "Connect without Addr and Port must fail";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Connect: No Port Specified");
    }
    try {
        client.SendStr("x");
        FAIL() << "Send on a closed socket must fail";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
    }
    EXPECT_EQ(client.State(), wsClosed);
    EXPECT_EQ(client.LastError(), 10057);
}

TEST(TWSocket, PropertyGuardsWhileOpen) {
    LoopbackListener server;
    std::string port = server.Port();
    server.listener.SetPort("0"); // unchanged value is accepted in any state
    try {
        server.listener.SetPort("2121");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Cannot change Port if not closed");
    }
    EXPECT_THROW(server.listener.SetAddr("10.0.0.1"), ESocketException);
    EXPECT_THROW(server.listener.SetProto("udp"), ESocketException);
    TWSocket closed;
    try {
        closed.SetLocalAddr("not-an-address");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "SetLocalAddr(): Invalid IP address");
    }
    EXPECT_EQ(server.Port(), port);
}

TEST(TWSocket, DnsLookupOfDottedAddressCompletesInsideTheCall) {
    TWSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomWSocket*, int error) { done = error; };
    socket.DnsLookup("10.0.0.1");
    EXPECT_EQ(done, 0);
    EXPECT_EQ(socket.DnsResult(), "10.0.0.1");

    done = -1;
    socket.DnsLookup("localhost");
    EXPECT_EQ(done, -1); // a name completes later, from the loop
    ASSERT_TRUE(RunLoopUntil([&] { return done != -1; }));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");

    done = -1;
    EXPECT_THROW(socket.DnsLookup(""), ESocketException);
    EXPECT_EQ(done, 10022);
}

TEST(TWSocket, RefusedConnectionReports10061) {
    int port = testing_support::FreePort(); // nothing listens there now
    TWSocket client;
    int connectError = -1;
    int closedEvents = 0;
    client.OnSessionConnected = [&](TCustomWSocket*, int error) { connectError = error; };
    client.OnSessionClosed = [&](TCustomWSocket*, int) { ++closedEvents; };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(RunLoopUntil([&] { return connectError != -1; }));
    EXPECT_EQ(connectError, 10061);
    RunLoopFor(50);
    EXPECT_EQ(client.State(), wsClosed);
    EXPECT_LE(closedEvents, 1);
}

TEST(TWSocket, BurstsAreReadInTurnsSoEverySocketIsServed) {
    // Two connections, each with a burst already waiting when notifications
    // start: neither is drained before the other gets its turn, and no byte
    // is lost when a notification ends with bytes still waiting.
    LoopbackListener serverA, serverB;
    TWSocket clientA, clientB;
    ASSERT_TRUE(ConnectPair(serverA, clientA));
    ASSERT_TRUE(ConnectPair(serverB, clientB));
    const std::string burst = testing_support::PatternBytes(60000, 3);
    std::string order;
    std::string received[2];
    LoopbackListener* servers[2] = {&serverA, &serverB};
    TWSocket* clients[2] = {&clientA, &clientB};
    for (int i = 0; i < 2; ++i) {
        servers[i]->accepted->Pause();
        clients[i]->SendStr(burst);
        servers[i]->accepted->OnDataAvailable = [&, i](TCustomWSocket* s, int) {
            order += static_cast<char>('A' + i);
            char piece[1000];
            const int n = s->Receive(piece, sizeof piece);
            if (n > 0)
                received[i].append(piece, static_cast<size_t>(n));
        };
    }
    ASSERT_TRUE(RunLoopUntil([&] {
        return serverA.accepted->GetRcvdCount() == static_cast<int>(burst.size()) &&
               serverB.accepted->GetRcvdCount() == static_cast<int>(burst.size());
    }));
    serverA.accepted->Resume();
    serverB.accepted->Resume();
    ASSERT_TRUE(RunLoopUntil(
        [&] { return received[0].size() == burst.size() && received[1].size() == burst.size(); }));
    EXPECT_TRUE(received[0] == burst);
    EXPECT_TRUE(received[1] == burst);
    EXPECT_LT(order.find('B'), order.rfind('A')) << order;
    EXPECT_LT(order.find('A'), order.rfind('B')) << order;
}

TEST(TWSocket, ExceptionFromHandlerIsCaughtAndNeverEndsTheProgram) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));

    // Inside the receive loop: dropped silently, the connection stays.
    int dataCalls = 0;
    server.accepted->OnDataAvailable = [&](TCustomWSocket* s, int) {
        ++dataCalls;
        s->ReceiveStr();
        throw std::runtime_error("handler failed");
    };
    client.SendStr("one");
    ASSERT_TRUE(RunLoopUntil([&] { return dataCalls == 1; }));
    EXPECT_EQ(server.accepted->State(), wsConnected);

    // In another notification: OnBgException is told, and with CanClose the
    // socket is aborted.
    std::string reported;
    client.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& canClose) {
        reported = e.what();
        EXPECT_TRUE(canClose);
    };
    client.OnDataSent = [&](TCustomWSocket*, int) { throw std::runtime_error("sent failed"); };
    client.SendStr("two");
    ASSERT_TRUE(RunLoopUntil([&] { return !reported.empty(); }));
    EXPECT_EQ(reported, "sent failed");
    EXPECT_EQ(client.State(), wsClosed);
}

TEST(TWSocket, AcceptOnlyOnListeningSocketAndDupGuards) {
    TWSocket socket;
    try {
        socket.Accept();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(),
                     "Error 10022 in function not a listening socket\r\nInvalid argument");
    }
    try {
        socket.Dup(-1);
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "Error 10022 in function Dup\r\nInvalid argument");
    }
    TWSocket listener;
    try {
        listener.Listen();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(),
                     "Error 10022 in function listen: port not assigned\r\nInvalid argument");
    }
}

TEST(TWSocket, PauseHoldsDataUntilResume) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    std::string received;
    server.accepted->OnDataAvailable = [&](TCustomWSocket* s, int) { received += s->ReceiveStr(); };
    server.accepted->Pause();
    client.SendStr("held");
    RunLoopFor(100);
    EXPECT_TRUE(received.empty());
    server.accepted->Resume();
    ASSERT_TRUE(RunLoopUntil([&] { return received == "held"; }));
}

TEST(TWSocket, CloseDelayedAndReleaseRunFromTheLoop) {
    LoopbackListener server;
    auto* client = new TWSocket;
    ASSERT_TRUE(ConnectPair(server, *client));
    bool closed = false;
    client->OnSessionClosed = [&](TCustomWSocket* s, int) {
        closed = true;
        s->Release(); // freeing itself from its own handler is safe
    };
    client->CloseDelayed();
    EXPECT_FALSE(closed);
    ASSERT_TRUE(RunLoopUntil([&] { return closed; }));
    RunLoopFor(20);
}

// A file segment goes out from the file's current offset, the bytes Send-ed
// after it follow it, OnDataSent comes from the loop once all is out, and a
// segment longer than the rest of the file stops where the file ends.
TEST(TWSocket, FileSegmentsGoOutInOrderWithSendsAfterThem) {
    LoopbackListener server;
    TWSocket client;
    ASSERT_TRUE(ConnectPair(server, client));
    const std::string content = testing_support::PatternBytes(3 * 1000 * 1000 + 17, 11);
    char path[] = "/tmp/vexa-sendfile-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::unlink(path);
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);

    std::string received;
    server.accepted->OnDataAvailable = [&](TCustomWSocket* s, int) { received += s->ReceiveStr(); };
    int sentEvents = 0;
    bool insideCall = false, raisedInside = false;
    client.OnDataSent = [&](TCustomWSocket*, int error) {
        EXPECT_EQ(error, 0);
        raisedInside |= insideCall;
        ++sentEvents;
    };
    // Bytes still queued: a file segment is refused (the caller sends as usual).
    const std::string bulk = testing_support::PatternBytes(8 * 1000 * 1000, 3);
    client.Send(bulk.data(), static_cast<int>(bulk.size()));
    EXPECT_FALSE(client.SendFile(fd, 10));
    ASSERT_TRUE(RunLoopUntil([&] { return sentEvents > 0; }, 30000));

    sentEvents = 0;
    insideCall = true;
    ASSERT_TRUE(client.SendFile(fd, 1000 * 1000));
    client.SendStr("-after-");
    insideCall = false;
    EXPECT_EQ(sentEvents, 0);
    ASSERT_TRUE(RunLoopUntil([&] { return sentEvents > 0; }, 30000));
    EXPECT_EQ(client.FileBytesSent(), 1000 * 1000);
    EXPECT_FALSE(raisedInside);

    // The rest of the file, asked for with room to spare.
    sentEvents = 0;
    ASSERT_TRUE(client.SendFile(fd, 10 * 1000 * 1000));
    ASSERT_TRUE(RunLoopUntil([&] { return sentEvents > 0; }, 30000));
    EXPECT_EQ(client.FileBytesSent(), static_cast<long long>(content.size()) - 5 - 1000 * 1000);
    const std::string expected =
        bulk + content.substr(5, 1000 * 1000) + "-after-" + content.substr(5 + 1000 * 1000);
    ASSERT_TRUE(RunLoopUntil([&] { return received.size() >= expected.size(); }, 30000));
    ASSERT_EQ(received.size(), expected.size());
    const auto diff = std::mismatch(received.begin(), received.end(), expected.begin());
    EXPECT_EQ(diff.first - received.begin(), static_cast<long>(expected.size()));
    EXPECT_TRUE(client.AllSent());
    ::close(fd);
}
