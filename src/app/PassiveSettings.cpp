#include "app/PassiveSettings.h"

#include "app/AppTexts.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "net/SocketAddress.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>

PassiveSettings::PassiveSettings(Settings& settings, TFtpServer& server, LogWriter log)
    : settings_(settings), server_(server), log_(std::move(log)) {}

PassiveSettings::~PassiveSettings() {
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
}

bool PassiveSettings::IsPassiveKey(const std::string& key) {
    return key == keys::PassivePortMin || key == keys::PassivePortMax ||
           key == keys::PassiveExternalAddress || key == keys::PassiveExternalForLocal;
}

void PassiveSettings::PortRange(int min, int max, int& first, int& last, bool& valid) {
    valid = (min == 0 && max == 0) || (min > 0 && min <= max && max <= 65535);
    first = valid ? min : 0;
    last = valid ? max : 0;
}

void PassiveSettings::Apply() {
    const int min = settings_.GetInt(keys::PassivePortMin);
    const int max = settings_.GetInt(keys::PassivePortMax);
    bool valid = false;
    PortRange(min, max, server_.Passive.PortMin, server_.Passive.PortMax, valid);
    if (!valid && log_)
        log_(logServer, apptexts::PassiveRangeInvalid(min, max), colours::clRed);
    server_.Passive.ExternalForLocal = settings_.GetBool(keys::PassiveExternalForLocal);

    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    server_.Passive.ExternalAddress.clear();
    std::string external = settings_.GetString(keys::PassiveExternalAddress);
    external.erase(0, external.find_first_not_of(" \t"));
    external.erase(external.find_last_not_of(" \t") + 1);
    if (external.empty())
        return;
    in_addr v4{};
    if (::inet_pton(AF_INET, external.c_str(), &v4) == 1) {
        server_.Passive.ExternalAddress = CanonicalAddressText(external);
        return;
    }
    if (WSocketIsIPv6Literal(external)) {
        if (log_)
            log_(logServer, apptexts::PassiveExternalNotIPv4(external), colours::clRed);
        return;
    }
    LookUp(external);
}

void PassiveSettings::LookUp(const std::string& name) {
    lookupId_ = QHostInfo::lookupHost(
        QString::fromStdString(name), this, [this, name](const QHostInfo& info) {
            if (info.lookupId() != lookupId_)
                return;
            lookupId_ = -1;
            for (const QHostAddress& address : info.addresses()) {
                if (address.protocol() != QAbstractSocket::IPv4Protocol)
                    continue;
                server_.Passive.ExternalAddress = address.toString().toStdString();
                if (log_)
                    log_(logServer,
                         apptexts::PassiveExternalFound(name, server_.Passive.ExternalAddress),
                         colours::clBlue);
                return;
            }
            if (log_)
                log_(logServer,
                     apptexts::PassiveExternalNotFound(name, info.errorString().toStdString()),
                     colours::clRed);
        });
}
