// Speed limits on data connections: every block of a download or upload is
// taken from the server-wide limit of its direction and from the
// connection's own limit. A transfer that may not go on yet waits for a
// callback from the loop (downloads send nothing, uploads stop reading, so
// the client's TCP window closes); nothing sleeps.
#include "ftpserver/FtpServer.h"

#include <QPointer>

TransferPacer& TFtpServer::PacerFor(TFtpCtrlSocket* Client, bool upload) {
    const std::int64_t now = Clock->SteadyMs();
    TokenBucket& shared = upload ? uploadBucket_ : downloadBucket_;
    shared.SetRate(upload ? UploadLimit : DownloadLimit, now);
    Client->OwnLimit.SetRate(ConnectionLimit, now);
    Client->Pacer.Use(Clock, Client);
    Client->Pacer.SetBuckets({&shared, &Client->OwnLimit});
    return Client->Pacer;
}

void TFtpServer::PaceDownload(TFtpCtrlSocket* Client) {
    QPointer<TFtpCtrlSocket> guard(Client);
    Client->Pacer.WhenReady(TFtpCtrlSocket::kTransferChunk, [this, guard] {
        if (!guard || guard->AbortingTransfer || guard->CloseQueued || !guard->DataSessionActive)
            return;
        try {
            SendNextChunk(guard);
        } catch (const std::exception& e) {
            AbortTransfer(guard, e.what());
        }
    });
}

void TFtpServer::PaceUpload(TFtpCtrlSocket* Client) {
    TWSocket* data = Client->DataSocket.get();
    data->Pause();
    QPointer<TWSocket> socket(data);
    Client->Pacer.WhenReady(TFtpCtrlSocket::kTransferChunk, [socket] {
        if (socket && socket->Paused())
            socket->Resume();
    });
}
