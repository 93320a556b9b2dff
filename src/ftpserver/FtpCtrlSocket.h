#pragma once
// One client's control connection: its login state, directories, transfer
// fields and the encryption fields of the encrypted session.
#include "crypto/ChunkCipher.h"
#include "ftpserver/CommandLine.h"
#include "ftpserver/ListingProducer.h"
#include "ftpserver/MachineFacts.h"
#include "ftpserver/PathModel.h"
#include "ftpserver/Replies.h"
#include "ftpserver/TransferStream.h"
#include "net/TWSocket.h"
#include "net/TokenBucket.h"
#include "net/TransferPacer.h"

#include <QDateTime>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TFtpCtrlState {
    ftpcInvalid,
    ftpcWaitingUserCode,
    ftpcWaitingPassword,
    ftpcReady,
    ftpcWaitingAnswer
};

// Command codes kept in CurCmdType.
enum TFtpCmdType : std::uint8_t {
    ftpcPORT = 0,
    ftpcSTOR = 1,
    ftpcRETR = 2,
    ftpcCWD = 3,
    ftpcXPWD = 4,
    ftpcPWD = 5,
    ftpcUSER = 6,
    ftpcPASS = 7,
    ftpcLIST = 8,
    ftpcRMD = 9,
    ftpcTYPE = 10,
    ftpcSYST = 11,
    ftpcQUIT = 12,
    ftpcDELE = 13,
    ftpcRNFR = 14,
    ftpcMKD = 15,
    ftpcRNTO = 16,
    ftpcNOOP = 17,
    ftpcNLST = 18,
    ftpcCDUP = 20,
    ftpcSIZE = 21,
    ftpcREST = 22,
    ftpcAPPE = 23,
    ftpcSTRU = 24,
    ftpcPUBK = 25,
    ftpcMDTM = 26,
    ftpcMLSD = 27,
    ftpcMLST = 28,
    ftpcMFMT = 29,
    ftpcEPSV = 30,
    ftpcEPRT = 31,
    ftpcFEAT = 32,
    ftpcOPTS = 33
};

class TFtpCtrlSocket : public TCustomWSocket {
public:
    explicit TFtpCtrlSocket(QObject* parent = nullptr);
    ~TFtpCtrlSocket() override;

    // Sends text + CR LF at once: no event, no encryption.
    void SendReplyLine(const std::string& text);
    // Sends a last reply line and closes from the event loop. Until the
    // close runs, the connection takes no further command and gets no other
    // reply, so the line stays the client's last word from the server.
    void SendLastReplyAndClose(const std::string& text);
    bool SentAway() const { return sentAway_; }
    // While a reply is held back (a refused login's delay) no further line
    // is read or run; releasing it runs the lines that wait.
    void HoldReplies(bool held);
    bool RepliesHeld() const { return repliesHeld_; }
    // The greeting: login state starts, Banner goes out plain.
    void StartConnection();

    // The transfer buffer exists only while a transfer runs, so idle
    // clients hold no transfer memory.
    char* TransferBuffer();
    void ReleaseTransferBuffer();

    // Transfer chunk of plain downloads and uploads (memory per transfer).
    static constexpr int kTransferChunk = 256 * 1024;
    // File bytes handed to the data socket per segment of a plain download,
    // which moves them without passing them through this process.
    static constexpr long long kFileSegment = 4 * 1024 * 1024;
    // Length asked for the segment in flight (0: none).
    long long FileSegment = 0;

    std::unique_ptr<TWSocket> DataSocket;   // "DataWSocket" + number
    std::unique_ptr<TWSocket> PasvListener; // listening socket of PASV
    std::vector<char> RcvBuf;               // transfer buffer (kTransferChunk while in use)
    int RcvSize = 2048;
    bool Busy = false;
    QDateTime ConnectedSince;
    QDateTime LastCommand;
    int CommandCount = 0;
    std::string Banner = replies::kClientBanner;
    std::string UserName;
    std::string PassWord;
    std::string PublicKey;
    std::string PublicKeyLength;
    std::string PublicKeyBits;
    bool CloseRequest = false;
    std::string HomeDir = kDefaultHomeDir;
    std::string Directory = kDefaultHomeDir;
    TFtpCtrlState FtpState = ftpcInvalid;
    bool AbortingTransfer = false;
    std::intptr_t UserData = 0;
    std::string PeerAddr;
    std::string PeerPort;
    std::function<void(TFtpCtrlSocket* Sender, const std::string& Msg)> OnDisplay;
    std::function<void(TFtpCtrlSocket* Sender, const char* CmdBuf, int CmdLen)> OnCommand;
    std::string DataAddr;
    std::string DataPort = "ftp-data";
    std::string FileName;
    std::string FilePath;
    int IdleSeconds = 0;
    bool EncryptionActive = false;
    bool KeyFileSent = false;
    int SlotNumber = 0;
    std::string EncryptionKey;
    // Data-channel ciphers of an encrypted session, made when a transfer
    // starts so the key schedule is built once per transfer; the upload
    // side holds the partial 1514-byte unit between reads.
    std::unique_ptr<TBlowfishSession> DownloadCipher;
    std::unique_ptr<TChunkDecipher> UploadDecipher;
    bool DataSessionActive = false;
    TTransferStream DataStream;
    // The listing being sent, made a slice at a time (LIST, NLST).
    std::unique_ptr<TListingProducer> Listing;
    void CloseTransferSource() {
        DataStream.Close();
        Listing.reset();
    }
    bool HasOpenedFile = false;
    std::string TransferError;
    long long ByteCount = 0;
    bool CloseQueued = false;
    std::uint8_t CurCmdType = 0;
    long long RestartPos = 0;
    std::string RenameFrom;
    std::string RenameFromShown; // as the client named it, for replies
    std::string RenameTo;
    bool PassiveMode = false;
    bool PassiveStart = false;
    bool PassiveConnected = false;
    // After EPSV ALL the client uses EPSV only: PASV, PORT and EPRT fail.
    bool EpsvAll = false;
    // The facts MLSD and MLST give (OPTS MLST), a set of TMlstFact bits.
    unsigned MlstFacts = kAllMlstFacts;

    // Set when an active-mode connection could not be opened, so the close
    // reports it instead of a finished transfer.
    bool DataConnectFailed = false;
    // A closing reply is owed for the transfer in progress.
    bool TransferReplyPending = false;
    // The command of that transfer (STOR, APPE, RETR, LIST, NLST): other
    // commands change CurCmdType while it waits or runs.
    std::uint8_t TransferCmd = 0;
    // Time limits: seconds since the connection came without a completed
    // login, and seconds a transfer has waited for its passive connection.
    bool LoginCompleted = false;
    int LoginSeconds = 0;
    int PassiveWaitSeconds = 0;
    // Speed limits: this connection's own limit and the pacing of its
    // transfer against it and the server-wide ones.
    TokenBucket OwnLimit;
    TransferPacer Pacer;
    // Raised when a line longer than the limit was dropped.
    std::function<void(TFtpCtrlSocket* Sender)> OnLineTooLong;

    // Command lines run per turn of the event loop; the rest of a read waits
    // for the next turn, so one busy client never holds the others up.
    static constexpr int kLinesPerTurn = 4;
    // SECURITY: a client that sends commands and never reads the replies
    // would grow the send queue without end; above this many queued bytes
    // its commands are not read until the replies drain.
    static constexpr long long kReplyQueueBound = 16 * 1024;

protected:
    bool TriggerDataAvailable(int Error) override;
    void TriggerDataSent(int Error) override;

private:
    // Runs up to kLinesPerTurn of the held lines; holds reading while some
    // are left or replies pile up.
    void RunHeldLines();
    void QueueMoreLines();
    bool RepliesPiledUp() const { return BufferedByteCount() > kReplyQueueBound; }

    TLineAssembler lines_;
    std::string held_; // the last read, from heldPos_ on not yet run
    std::size_t heldPos_ = 0;
    bool moreQueued_ = false;
    bool sentAway_ = false;
    bool repliesHeld_ = false;
};
