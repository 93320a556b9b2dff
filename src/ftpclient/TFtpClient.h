#pragma once
#include "ftpclient/TCustomFtpCli.h"

#include <functional>
#include <optional>

class QEventLoop;

// The client component the program uses: the engine plus blocking variants
// of the requests, which run the event loop until the request has ended (or
// a little after the engine's own time-out, as a last guard). The wait sleeps in the loop: it wakes
// for the request's completion or for its deadline, never to look.
class TFtpClient : public TCustomFtpCli {
public:
    explicit TFtpClient(QObject* parent = nullptr);

    bool OpenSync() {
        return Synchronize([this] { Open(); });
    }
    bool UserSync() {
        return Synchronize([this] { User(); });
    }
    bool PassSync() {
        return Synchronize([this] { Pass(); });
    }
    bool ConnectSync() {
        return Synchronize([this] { Connect(); });
    }
    bool CwdSync() {
        return Synchronize([this] { Cwd(); });
    }
    bool PwdSync() {
        return Synchronize([this] { Pwd(); });
    }
    bool CDupSync() {
        return Synchronize([this] { CDup(); });
    }
    bool TypeSetSync() {
        return Synchronize([this] { TypeSet(); });
    }
    bool TypeBinarySync() {
        return Synchronize([this] { TypeBinary(); });
    }
    bool TypeAsciiSync() {
        return Synchronize([this] { TypeAscii(); });
    }
    bool QuitSync() {
        return Synchronize([this] { Quit(); });
    }
    bool SystSync() {
        return Synchronize([this] { Syst(); });
    }
    bool SizeSync() {
        return Synchronize([this] { Size(); });
    }
    bool GetSync() {
        return Synchronize([this] { Get(); });
    }
    bool PutSync() {
        return Synchronize([this] { Put(); });
    }
    bool AppendSync() {
        return Synchronize([this] { Append(); });
    }
    bool DirSync() {
        return Synchronize([this] { Dir(); });
    }
    bool LsSync() {
        return Synchronize([this] { Ls(); });
    }
    bool MkdSync() {
        return Synchronize([this] { Mkd(); });
    }
    bool RmdSync() {
        return Synchronize([this] { Rmd(); });
    }
    bool DeleSync() {
        return Synchronize([this] { Dele(); });
    }
    bool RenameSync() {
        return Synchronize([this] { Rename(); });
    }
    bool QuoteSync() {
        return Synchronize([this] { Quote(); });
    }
    bool RestGetSync() {
        return Synchronize([this] { RestGet(); });
    }
    bool RestPutSync() {
        return Synchronize([this] { RestPut(); });
    }
    bool AbortSync() {
        Abort();
        return true;
    }

    // Runs an asynchronous request and waits until the client is ready again.
    // True when the request ended without error.
    bool Synchronize(const std::function<void()>& request);
    // Runs the loop until the client is ready; false on time-out (the
    // request is then aborted and reports "426 Timeout").
    bool WaitUntilReady();

    // The error word of the last request run synchronously.
    int LastRequestError() const { return lastError_; }

protected:
    bool TriggerProgress() override;
    void TriggerRequestDone(TFtpRequest request, int error) override;

private:
    // One running wait; a synchronous call made from inside the owner's
    // handler while another one waits has its own.
    struct Wait {
        std::optional<TFtpRequest> request; // the request waited for; any when empty
        bool done = false;
        int error = 0;
        QEventLoop* loop = nullptr;
    };
    bool RunWait(Wait& wait);

    std::int64_t deadline_ = 0;
    int lastError_ = 0;
    Wait* wait_ = nullptr; // the innermost running wait
};
