#pragma once
#include "accounts/AccountFiles.h"
#include "accounts/ConnectionList.h"
#include "accounts/LoginTable.h"
#include "accounts/ServerLists.h"
#include "accounts/ServerProtection.h"
#include "accounts/Validation.h"
#include "base/LogColour.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

class TFtpServer;
class TFtpCtrlSocket;

namespace accounts {

// The server options this owner reads, at the moment it needs them.
struct ServerPolicy {
    bool encryptedOnlyClients = false;
    bool showSuperUserWarnings = true;
    int maximumConcurrentUsers = 3;
    bool idleTimeout = true;
    int idleCount = 300;
    std::string connectMessage;
    std::string loginMessage;
    std::string logoutMessage;
    std::string defaultHomeDirectory;
    IpMode ipMode = IpMode::Deny;
    // Failed-login delays and bans, connections per address.
    ProtectionPolicy protection;
    // Speed limits in KiB/s, 0 for none: all downloads, all uploads, and
    // each data connection.
    int serverDownloadLimit = 0;
    int serverUploadLimit = 0;
    int connectionSpeedLimit = 0;
};

// The owner side of the FTP server: answers its events with admission, login,
// rights and the encrypted-only gate, keeps the login table and the
// connection list, runs the idle sweep and hands the server lists' tables to
// the engine. No widgets: the server page shows Rows() and StatusText().
class ServerOwner {
public:
    ServerOwner(TFtpServer& server, const AccountFiles& files, ServerLists& lists,
                std::function<ServerPolicy()> policy, LogWriter log);
    ~ServerOwner();
    ServerOwner(const ServerOwner&) = delete;
    ServerOwner& operator=(const ServerOwner&) = delete;

    // Start and stop listening on a port (the ServerPort setting).
    void Start(const std::string& port);
    void Stop();
    // Closes every client at once, without a reply.
    void KickAllUsers();
    bool KickAllEnabled() const;
    // Closes the one connection of that row Id (its socket handle in
    // decimal); false when no such connection is open any more.
    bool Kick(const std::string& id);
    // One idle sweep: every connection 5 seconds older, those past the limit
    // dropped. The timer calls it every 5000 ms while the idle timeout is on.
    void IdleTick();
    // Starts or stops the idle timer (the IdleTimeout setting changed).
    void SetIdleTimerRunning(bool on);
    bool IdleTimerRunning() const { return idleTimer_.isActive(); }
    // Applies MaximumConcurrentUsers to the server.
    void ApplyMaxClients();
    // Applies the speed limits to the server (running transfers included).
    void ApplySpeedLimits();

    // Bans and the counts of refused connections.
    ServerProtection& Protection() { return protection_; }
    // "N banned, N refused by bans, N by the per-address limit".
    std::string ProtectionText();

    const LoginTable& Table() const { return table_; }
    const std::vector<ConnectionRow>& Rows() const { return rows_; }
    std::string StatusText() const;
    // Called whenever rows came or went, or several changed.
    std::function<void()> OnListChanged;
    // Called when only the row at this index changed (transfer progress);
    // without it OnListChanged is called instead.
    std::function<void(int row)> OnRowChanged;
    // Called when the listening socket failed on its own (not by Stop), with
    // the reason; the server is then no longer listening.
    std::function<void(const std::string& reason)> OnListenerFailed;

private:
    void Hook();
    void Refresh();
    ConnectionRow* RowOf(TFtpCtrlSocket* client);
    void RowChanged(const ConnectionRow* row);
    void Log(int level, const std::string& text, TColor colour) const;
    LoginSlot* SlotOf(TFtpCtrlSocket* client);
    TraverseScope ScopeOf(TFtpCtrlSocket* client) const;
    void Decide(TFtpCtrlSocket* client, int op, const std::string& path, bool& allowed);
    void CopyTables();
    int ConnectionsFrom(const std::string& address) const;
    bool OnAllowList(const std::string& address, const ServerPolicy& policy) const;

    struct Transfer {
        QElapsedTimer started;
        long long received = 0;
        long long offset = 0; // where a restarted download began
        long long total = -1; // the file's size, when known
    };
    static void ShowFigures(ConnectionRow& row, const Transfer& t, long long moved);

    TFtpServer& server_;
    const AccountFiles& files_;
    ServerLists& lists_;
    std::function<ServerPolicy()> policy_;
    LogWriter log_;
    LoginTable table_;
    std::vector<ConnectionRow> rows_;
    std::map<TFtpCtrlSocket*, Transfer> transfers_;
    ServerProtection protection_;
    QTimer idleTimer_;
    std::string listeningPort_; // the port bound at the last start
};

} // namespace accounts
