#pragma once
// The FTP server component: listens, keeps one TFtpCtrlSocket per client,
// dispatches command lines through its CommandTable and asks its owner every
// question about accounts and rights through the events below.
#include "base/LogColour.h"
#include "crypto/ProgramKeys.h"
#include "crypto/PseudoRandom.h"
#include "ftpserver/FtpCtrlSocket.h"
#include "ftpserver/FtpServerException.h"
#include "ftpserver/ServerTables.h"
#include "net/LoopClock.h"
#include "net/TokenBucket.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TRSA;
class TFtpServer;

using TFtpSrvNotifyEvent = std::function<void(TFtpServer* Sender)>;
using TFtpSrvClientEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, int Error)>;
using TFtpSrvClientCommandEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, std::string& Keyword,
                       std::string& Params, std::string& Answer)>;
using TFtpSrvAnswerToClientEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, std::string& Answer)>;
using TFtpSrvAuthenticateEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, const std::string& UserName,
                       const std::string& Password, bool& Authenticated)>;
using TFtpSrvChangeDirectoryEvent = std::function<void(
    TFtpServer* Sender, TFtpCtrlSocket* Client, const std::string& Directory, bool& Allowed)>;
using TFtpSrvBuildDirectoryEvent = std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client,
                                                      std::string& Directory, bool Detailed)>;
using TFtpSrvValidateEvent = std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client,
                                                std::string& FilePath, bool& Allowed)>;
// A listing of Directory may show only the entries named in Names when the
// owner sets WayOnly (folders a client may pass through without rights).
using TFtpSrvListWayEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, const std::string& Directory,
                       bool& WayOnly, std::vector<std::string>& Names)>;
// What happens after a refused login: its reply waits DelayMs (the
// connection reads nothing meanwhile), and with Close the connection ends
// once the reply is out.
struct TLoginFailure {
    std::int64_t DelayMs = 0;
    bool Close = false;
};
using TFtpSrvLoginFailedEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, TLoginFailure& Failure)>;
// What the client may do in Folder, as TFolderRight bits (MLSD and MLST
// "perm" facts); Rights is preset to every right.
using TFtpSrvFolderRightsEvent = std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client,
                                                    const std::string& Folder, unsigned& Rights)>;
using TFtpSrvDataSessionEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, TWSocket* Data, int Error)>;
using TFtpSrvDataAvailableEvent =
    std::function<void(TFtpServer* Sender, TFtpCtrlSocket* Client, TWSocket* Data, const char* Buf,
                       int Len, int Error)>;

class TFtpServer : public QObject {
public:
    using TCommandHandler = void (TFtpServer::*)(TFtpCtrlSocket* Client, std::string& Keyword,
                                                 std::string& Params, std::string& Answer);
    struct TCommandSlot {
        std::string Keyword;
        TCommandHandler Handler = nullptr;
        bool NeedsLogin = false;
        // Refused while a transfer runs: one transfer at a time.
        bool OneTransfer = false;
    };
    static constexpr int kCommandSlots = 48;

    // Passive mode (PASV, EPSV) behind NAT. PortMin..PortMax: the ports
    // passive listeners use (0, 0: any free port). ExternalAddress: the
    // IPv4 address PASV announces instead of the one the client reached
    // (empty: that one); clients from loopback or private addresses still
    // get the local one unless ExternalForLocal is set.
    struct TPassiveOptions {
        int PortMin = 0;
        int PortMax = 0;
        std::string ExternalAddress;
        bool ExternalForLocal = false;
    };

    explicit TFtpServer(QObject* parent = nullptr);
    ~TFtpServer() override;

    // Listens on Addr:Port; errors of the socket layer propagate.
    void Start();
    // Stops listening; connected clients stay.
    void Stop();
    void DisconnectAll();
    bool Active() const;
    int ClientCount() const { return static_cast<int>(clients_.size()); }
    TFtpCtrlSocket* Client(int index) const { return clients_.at(static_cast<std::size_t>(index)); }
    int ClientCounter() const { return clientCounter_; }
    // The port the listening socket is bound to ("error" when not listening).
    std::string ListeningPort();
    // Adds IdleSeconds to every client and drops those idle beyond timeout;
    // message describes the last one dropped.
    void CheckIdleClients(int elapsed, int timeout, std::string& message);
    // Time limits that hold whatever the idle setting: a connection without a
    // completed login is answered "421 Login time-out." and closed once it
    // has been there longer than kLoginTimeLimit seconds; a transfer whose
    // passive connection has not come within kPassiveWaitLimit seconds ends
    // with 425. A timer calls this every second; tests pass chosen values.
    static constexpr int kLoginTimeLimit = 60;
    static constexpr int kPassiveWaitLimit = 60;
    void CheckTimeLimits(int elapsed);
    // Adds a keyword to the CommandTable; a full table raises "Too many command".
    void AddCommand(const std::string& keyword, TCommandHandler handler, bool needsLogin,
                    bool oneTransfer = false);
    const std::vector<TCommandSlot>& CommandTable() const { return commandTable_; }
    // Sends Answer through OnAnswerToClient (and the cipher of an encrypted
    // session) followed by CR LF.
    void SendAnswer(TFtpCtrlSocket* Client, std::string Answer);

    // The IPv6 wildcard listens for IPv6 and IPv4 clients on one socket;
    // where the system has no IPv6, Start listens on "0.0.0.0" instead.
    std::string Addr = "::";
    TPassiveOptions Passive;
    std::string Port = "ftp";
    std::string Banner = replies::kServerBanner;
    int MaxClients = 0;
    std::intptr_t UserData = 0;
    TVirtMapTable VirtMapTable{};
    TPermaLinkTable PermaLinkTable{};

    // The program's key pair, peer-key object and announced sizes, read at
    // each use. Without it the server has no key: lines that are not plain
    // are dropped and PUBK is answered in plain without a key.
    ProgramKeys* Keys = nullptr;
    // Replaces the engine's own encipherment of replies when set.
    std::function<void(TFtpCtrlSocket* Client, std::string& Answer)> AnswerCipher;
    // Where key files are written (ends in "/"); the engine's default home
    // folder when empty.
    std::string ProgramDirectory;
    // The owner's log, for what the engine notices on its own.
    LogWriter Log;
    // The clock behind delays and speed limits (tests move their own).
    LoopClock* Clock = &LoopClock::System();
    // Speed limits in bytes per second, 0 for none: all downloads together,
    // all uploads together, and each data connection on its own. Read at
    // every block, so a change applies to running transfers.
    std::int64_t DownloadLimit = 0;
    std::int64_t UploadLimit = 0;
    std::int64_t ConnectionLimit = 0;

    TFtpSrvNotifyEvent OnStart;
    TFtpSrvNotifyEvent OnStop;
    // The listening socket itself failed and was closed (not by Stop).
    std::function<void(TFtpServer* Sender, const std::string& Reason)> OnListenerFailed;
    TFtpSrvClientEvent OnClientConnect;
    TFtpSrvClientEvent OnClientDisconnect;
    TFtpSrvClientCommandEvent OnClientCommand;
    TFtpSrvAnswerToClientEvent OnAnswerToClient;
    TFtpSrvAuthenticateEvent OnAuthenticate;
    TFtpSrvLoginFailedEvent OnLoginFailed;
    TFtpSrvChangeDirectoryEvent OnChangeDirectory;
    TFtpSrvChangeDirectoryEvent OnMakeDirectory;
    TFtpSrvBuildDirectoryEvent OnBuildDirectory;
    TFtpSrvBuildDirectoryEvent OnAlterDirectory;
    TFtpSrvListWayEvent OnListWay;
    TFtpSrvValidateEvent OnValidatePut;
    TFtpSrvValidateEvent OnValidateGet;
    TFtpSrvValidateEvent OnValidateSize;
    TFtpSrvValidateEvent OnValidateDele;
    TFtpSrvValidateEvent OnValidateRnFr;
    TFtpSrvValidateEvent OnValidateRnTo;
    // MFMT: changing a file's modification time.
    TFtpSrvValidateEvent OnValidateTime;
    TFtpSrvFolderRightsEvent OnFolderRights;
    TFtpSrvDataSessionEvent OnStorSessionConnected;
    TFtpSrvDataSessionEvent OnRetrSessionConnected;
    TFtpSrvDataSessionEvent OnStorSessionClosed;
    TFtpSrvDataSessionEvent OnRetrSessionClosed;
    TFtpSrvDataSessionEvent OnRetrDataSent;
    TFtpSrvDataAvailableEvent OnStorDataAvailable;

private:
    // Accepting and the life of a client.
    void ServerSessionAvailable(int Error);
    // Adopts one accepted handle as a client; throws when the connection
    // cannot be taken (it is then closed and forgotten).
    void TakeConnection(int handle);
    // The listening handle cannot accept any more: logged, closed, reported.
    void ListenerFailed(const std::string& reason);
    void ServerChangeState(TSocketState OldState, TSocketState NewState);
    void ClientCommand(TFtpCtrlSocket* Client, const char* CmdBuf, int CmdLen);
    void ClientLineTooLong(TFtpCtrlSocket* Client);
    void ClientSessionClosed(TFtpCtrlSocket* Client);
    void ClientDataSent(TFtpCtrlSocket* Client);
    bool IsClient(TFtpCtrlSocket* Client) const;
    // Takes a client out of the list, sends goodbye plain and closes it;
    // its close is handled later as any other.
    void DropClient(TFtpCtrlSocket* Client, const char* goodbye);
    std::string DecipherLine(const std::string& line);
    // Sends Answer after ms, reading nothing from the client meanwhile; with
    // closeAfter the connection then ends instead of reading on.
    void DeferAnswer(TFtpCtrlSocket* Client, const std::string& Answer, std::int64_t ms,
                     bool closeAfter);

    // Encrypted session.
    TRSA& PeerKeyObject();
    // The own pair when one is loaded for deciphering, else nullptr.
    TRSA* OwnPair() const;
    bool PeerKeyLoads(TFtpCtrlSocket* Client, std::string& error);
    void EncipherAnswer(TFtpCtrlSocket* Client, std::string& Answer);
    void LogLine(const std::string& text, TColor colour);
    static bool IsKeyFileRequest(const std::string& path);
    void OpenKeyFile(TFtpCtrlSocket* Client);
    void StartDownloadCipher(TFtpCtrlSocket* Client);
    void StartUploadDecipher(TFtpCtrlSocket* Client);
    void WriteUploadTail(TFtpCtrlSocket* Client);

    // Queued messages, run later from the event loop.
    void QueueCloseRequest(TFtpCtrlSocket* Client);
    void QueueClientClosed(TFtpCtrlSocket* Client);
    void QueueAbortData(TFtpCtrlSocket* Client);
    void QueueCloseData(TFtpCtrlSocket* Client, int countdown);
    void HandleCloseRequest(TFtpCtrlSocket* Client);
    void HandleClientClosed(TFtpCtrlSocket* Client);

    // Login, directories, informational commands.
    void CommandUSER(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandPASS(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandPUBK(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandCWD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandCDUP(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandXPWD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandPWD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandSYST(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandTYPE(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandSTRU(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandNOOP(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandQUIT(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void ChangeDirectory(TFtpCtrlSocket* Client, const std::string& Params, std::string& Answer);

    // Data connections and transfers.
    void CommandPORT(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandPASV(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandSTOR(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandAPPE(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandRETR(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandREST(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandABOR(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void PassiveSessionAvailable(TFtpCtrlSocket* Client);
    // The waiting transfer ends with 425: its passive connection did not
    // come in time or could not be accepted.
    void FailPassiveTransfer(TFtpCtrlSocket* Client);
    void StartDataConnection(TFtpCtrlSocket* Client, bool upload);
    void HookDataHandlers(TFtpCtrlSocket* Client, bool upload);
    void PrepareDownload(TFtpCtrlSocket* Client);
    void StorSessionConnected(TFtpCtrlSocket* Client, int Error);
    void StorDataAvailable(TFtpCtrlSocket* Client, int Error);
    void StorSessionClosed(TFtpCtrlSocket* Client, int Error);
    void RetrSessionConnected(TFtpCtrlSocket* Client, int Error);
    void RetrDataSent(TFtpCtrlSocket* Client, int Error);
    void RetrSessionClosed(TFtpCtrlSocket* Client, int Error);
    void SendNextChunk(TFtpCtrlSocket* Client);
    void SendNextListingSlice(TFtpCtrlSocket* Client);
    void EndDownloadData(TFtpCtrlSocket* Client);
    // Speed limits: the pacer of a transfer with the current limits applied,
    // and the waits of a download or upload that may not go on yet.
    TransferPacer& PacerFor(TFtpCtrlSocket* Client, bool upload);
    void PaceDownload(TFtpCtrlSocket* Client);
    void PaceUpload(TFtpCtrlSocket* Client);
    bool FinishFileSegment(TFtpCtrlSocket* Client);
    void OpenUploadFile(TFtpCtrlSocket* Client);
    // STOR, APPE: a fresh upload state; then the target, once it is no
    // symbolic link and the owner allowed it (false: the refusal is in Answer).
    void ResetUploadState(TFtpCtrlSocket* Client, const std::string& Params);
    bool AllowedUpload(TFtpCtrlSocket* Client, const std::string& Params, const char* denied,
                       std::string& Answer);
    // Both directions: the data connection came up (false: it failed), went
    // down, and the one reply that ends the transfer, if still owed.
    bool DataSessionUp(TFtpCtrlSocket* Client, int Error);
    void DataSessionDown(TFtpCtrlSocket* Client);
    void SendTransferEnd(TFtpCtrlSocket* Client, int Error, const std::string& aborted,
                         const std::string& failed, const char* done);
    void AbortTransfer(TFtpCtrlSocket* Client, const std::string& reason);

    // Extended data connections: EPSV, EPRT and the passive listener they
    // share with PASV (bound to bindAddress on a port of the passive range;
    // returns the port).
    void CommandEPSV(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandEPRT(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    int OpenPassiveListener(TFtpCtrlSocket* Client, const std::string& bindAddress);
    // Answer for a passive listener that could not be opened.
    std::string PassiveFailure(TFtpCtrlSocket* Client, const char* failed, const std::exception& e);
    // PORT and EPRT: the data connection goes to address:port from now on.
    void SetActiveAddress(TFtpCtrlSocket* Client, const std::string& address, int port);
    // Refused after EPSV ALL (true: the refusal is in Answer).
    bool RefusedAfterEpsvAll(TFtpCtrlSocket* Client, const std::string& keyword,
                             std::string& Answer);

    // Features and machine listings: FEAT, OPTS, MLSD, MLST, MFMT.
    void CommandFEAT(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandOPTS(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandMLSD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandMLST(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandMFMT(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    unsigned FolderRights(TFtpCtrlSocket* Client, const std::string& folder);
    // The facts of one entry of folder (whose rights are folderRights): its
    // own path (ending in "/." or "/.." for the folder and its parent) and
    // lstat data.
    std::string EntryFacts(TFtpCtrlSocket* Client, const std::string& folder, unsigned folderRights,
                           const std::string& ownPath, const struct stat& st);
    // The canonical path a machine listing names (the current directory
    // when Params is empty), once the owner allowed listing it.
    std::string MachineListedPath(TFtpCtrlSocket* Client, const std::string& Params);

    // Listings.
    void CommandLIST(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandNLST(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void DirectoryCommand(TFtpCtrlSocket* Client, std::string& Params, std::string& Answer,
                          bool Detailed);
    // Leading option words ("-a", "-la") that name no entry are dropped.
    std::string WithoutOptionWords(TFtpCtrlSocket* Client, const std::string& name) const;

    // File-management commands.
    void CommandDELE(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandRNFR(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandRNTO(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandMKD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandRMD(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandSIZE(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    void CommandMDTM(TFtpCtrlSocket*, std::string&, std::string&, std::string&);
    // DELE, RNFR, RNTO, RMD: the entry path once the owner allowed it and a
    // name was given; otherwise nothing, with the refusal in Answer.
    std::optional<std::string> AllowedEntry(TFtpCtrlSocket* Client, const std::string& Params,
                                            const TFtpSrvValidateEvent& event, const char* denied,
                                            const char* syntax, std::string& Answer);
    // SIZE, MDTM: reply() gets the file's status, or nullptr when there is no
    // such file the client may download.
    void FileStatusCommand(
        TFtpCtrlSocket* Client, const std::string& Params, const char* syntax, std::string& Answer,
        const std::function<std::string(const std::string& path, const struct stat* st)>& reply);

    // Client path to a canonical local path: contents follow a final link,
    // entries do not.
    std::string ContentPath(TFtpCtrlSocket* Client, const std::string& Params) const;
    std::string EntryPath(TFtpCtrlSocket* Client, const std::string& Params) const;
    // The path a reply quotes: as the client named it, no link resolved.
    std::string ShownPath(TFtpCtrlSocket* Client, const std::string& Params) const;
    bool Validate(const TFtpSrvValidateEvent& event, TFtpCtrlSocket* Client, std::string& path);

    std::unique_ptr<TWSocket> serverSocket_;
    std::vector<TFtpCtrlSocket*> clients_;
    // Clients taken out of the list (idle check, disconnect all) whose
    // close has not been handled yet; freed with the server at the latest.
    std::vector<TFtpCtrlSocket*> detached_;
    int clientCounter_ = 0;
    QTimer timeLimitTimer_;
    // Accepting failed for lack of descriptors; logged once until it works.
    bool acceptShortage_ = false;
    std::vector<TCommandSlot> commandTable_;
    bool destroying_ = false;
    std::unique_ptr<TRSA> ownPeerKey_;
    TokenBucket downloadBucket_;
    TokenBucket uploadBucket_;
    TPseudoRandom keyFileRandom_;
};
