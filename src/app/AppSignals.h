#pragma once
#include "app/LogSink.h"
#include "app/Throttle.h"
#include "client/SessionValues.h"

#include <QObject>
#include <QString>

#include <set>
#include <vector>

class AppShell;

// The engines' events as Qt signals that any number of views can connect
// to, split by what changed. Events that follow data blocks (client
// progress, a connection row's byte count and speed) are delivered at most
// ten times a second, the last state always included. The engines keep
// their single-listener events; this object is their one listener.
class AppSignals : public QObject {
    Q_OBJECT
public:
    static constexpr int kProgressIntervalMs = 100;

    explicit AppSignals(AppShell& shell, QObject* parent = nullptr);
    ~AppSignals() override;

signals:
    // Server connection list: rows came or went (or the server started or
    // stopped), or one row's values changed.
    void serverRowsReset();
    void serverRowChanged(int row);
    // Client: the remote listing or path box, the indicators and command
    // groups, the transfer figures.
    void clientListingChanged();
    void clientIndicatorsChanged();
    void clientProgress();
    // Transfer queue: entries came or went (or the totals changed), or one
    // entry's values changed.
    void queueChanged();
    void queueRowChanged(int row);
    // A queued folder download made or chose a local folder the local panel
    // is to show (an absolute path).
    void localFolderChanged(const QString& folder);
    void settingChanged(const QString& key);
    // A screen line of a log (1 client, 2 server), after masking and the
    // filter; rgb is the colour as 0xRRGGBB.
    void logLine(int log, const QString& line, int rgb);
    void keyPairChanged();

private:
    class Sink : public LogSink {
    public:
        explicit Sink(AppSignals& owner) : owner_(owner) {}
        void Write(int log, const std::string& line, TColor colour) override;

    private:
        AppSignals& owner_;
    };

    void ClientChanged(SessionChange what);
    void FlushRows();
    void FlushQueueRows();

    AppShell& shell_;
    Sink sink_;
    Throttle rowThrottle_;
    Throttle progressThrottle_;
    std::set<int> pendingRows_;
    Throttle queueRowThrottle_;
    std::set<int> pendingQueueRows_;
    // The indicator values the views last heard of.
    ClientIndicators indicators_;
    ClientCommandGroups groups_;
};
