#pragma once
// The server's passive-mode options (port range, external address for NAT)
// taken from the settings into the server. A host name given as the
// external address is looked up without blocking; until the answer comes,
// and when the lookup fails, PASV answers the local address.
#include "base/LogColour.h"
#include "ftpserver/FtpServer.h"

#include <QObject>

#include <string>

class Settings;

class PassiveSettings : public QObject {
public:
    PassiveSettings(Settings& settings, TFtpServer& server, LogWriter log);
    ~PassiveSettings() override;

    // Applies every passive option now; the external address is looked up
    // again. Problems are logged (a range that is not valid means any port).
    void Apply();
    // True for the keys Apply takes.
    static bool IsPassiveKey(const std::string& key);

    // The range the settings give, or 0, 0 (any port) when min and max do
    // not form one; valid tells which.
    static void PortRange(int min, int max, int& first, int& last, bool& valid);

private:
    void LookUp(const std::string& name);

    Settings& settings_;
    TFtpServer& server_;
    LogWriter log_;
    int lookupId_ = -1;
};
