// Loopback throughput of one TWSocket sender to one TWSocket receiver, next
// to a plain blocking send/recv pair measured in the same run.
//   socket_throughput_bench [MiB]   (default 1024)
#include "net/TWSocket.h"
#include "support/Loopback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChunk = 64 * 1024;

double PlainPairSeconds(long long total) {
    int port = 0;
    const int listener = testing_support::ListenLoopback(port, 1);
    QElapsedTimer timer;
    timer.start();
    std::thread sender([port, total] {
        const int fd = testing_support::ConnectLoopback(port);
        std::vector<char> chunk(kChunk, 'x');
        for (long long sent = 0; sent < total;) {
            ssize_t n = ::send(fd, chunk.data(),
                               static_cast<size_t>(std::min<long long>(kChunk, total - sent)), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
    int fd = ::accept(listener, nullptr, nullptr);
    std::vector<char> buffer(kChunk);
    long long received = 0;
    while (true) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        received += n;
    }
    sender.join();
    double seconds = timer.nsecsElapsed() / 1e9;
    ::close(fd);
    ::close(listener);
    if (received != total)
        std::fprintf(stderr, "plain pair received %lld of %lld bytes\n", received, total);
    return seconds;
}

// Sends total bytes from its own thread and event loop, one chunk each time
// the send queue has drained.
class SenderThread : public QThread {
public:
    SenderThread(std::string port, long long total) : port_(std::move(port)), total_(total) {}
    void run() override {
        TWSocket socket;
        std::vector<char> chunk(kChunk, 'x');
        long long sent = 0;
        auto sendNext = [&](TCustomWSocket* s) {
            if (sent >= total_) {
                s->Close();
                return;
            }
            int n = static_cast<int>(std::min<long long>(kChunk, total_ - sent));
            sent += n;
            s->Send(chunk.data(), n);
        };
        socket.OnSessionConnected = [&](TCustomWSocket* s, int) { sendNext(s); };
        socket.OnDataSent = [&](TCustomWSocket* s, int) { sendNext(s); };
        socket.OnSessionClosed = [&](TCustomWSocket*, int) { quit(); };
        socket.SetAddr("127.0.0.1");
        socket.SetPort(port_);
        // A graceful close: the default (linger on, 0 s) would discard what
        // the system has not yet sent.
        socket.SetLingerOnOff(wsLingerOff);
        socket.Connect();
        exec();
    }

private:
    std::string port_;
    long long total_;
};

double WSocketPairSeconds(long long total) {
    TWSocket listener;
    TWSocket receiver;
    long long received = 0;
    bool done = false;
    std::vector<char> buffer(kChunk);
    listener.SetAddr("127.0.0.1");
    listener.SetPort("0");
    listener.OnSessionAvailable = [&](TCustomWSocket*, int) { receiver.Dup(listener.Accept()); };
    receiver.OnDataAvailable = [&](TCustomWSocket* s, int) {
        int n = s->Receive(buffer.data(), kChunk);
        if (n > 0)
            received += n;
    };
    receiver.OnSessionClosed = [&](TCustomWSocket*, int) { done = true; };
    listener.Listen();
    QElapsedTimer timer;
    timer.start();
    SenderThread sender(listener.GetXPort(), total);
    sender.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    double seconds = timer.nsecsElapsed() / 1e9;
    sender.wait();
    if (received != total)
        std::fprintf(stderr, "TWSocket pair received %lld of %lld bytes\n", received, total);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    long long mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    long long total = mib * 1024 * 1024;
    double plain = PlainPairSeconds(total);
    double ours = WSocketPairSeconds(total);
    double plainRate = total / plain / 1e6, oursRate = total / ours / 1e6;
    std::printf("loopback %lld MiB\n", mib);
    std::printf("  plain blocking pair : %8.1f MB/s (%.2f s)\n", plainRate, plain);
    std::printf("  TWSocket pair       : %8.1f MB/s (%.2f s)\n", oursRate, ours);
    std::printf("  ratio TWSocket/plain: %.2f (target >= 0.50)\n", oursRate / plainRate);
    return 0;
}
