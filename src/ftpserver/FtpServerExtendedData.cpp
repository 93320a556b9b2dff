// Extended data connections (EPSV, EPRT), EPSV ALL, and the passive
// listener that PASV and EPSV share, with its port range.
#include "ftpserver/FtpServer.h"

#include <arpa/inet.h>

#include <cctype>

namespace {

// The fields of an EPRT argument: |proto|address|port| with any printable
// delimiter in place of "|".
bool SplitExtendedArgument(const std::string& text, std::string& proto, std::string& address,
                           std::string& port) {
    if (text.size() < 7)
        return false;
    const char d = text[0];
    if (d < 33 || d > 126 || std::isalnum(static_cast<unsigned char>(d)) || d == '.' || d == ':')
        return false;
    std::vector<std::string> fields;
    std::size_t pos = 1;
    while (pos <= text.size()) {
        const std::size_t end = text.find(d, pos);
        if (end == std::string::npos)
            break;
        fields.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    if (fields.size() != 3 || pos != text.size())
        return false;
    proto = fields[0];
    address = fields[1];
    port = fields[2];
    return true;
}

bool ParsePortNumber(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    port = std::stoi(text);
    return port > 0 && port <= 65535;
}

} // namespace

bool TFtpServer::RefusedAfterEpsvAll(TFtpCtrlSocket* Client, const std::string& keyword,
                                     std::string& Answer) {
    if (!Client->EpsvAll)
        return false;
    Answer = FormatReply(replies::kEpsvAllRefused, {keyword});
    return true;
}

void TFtpServer::SetActiveAddress(TFtpCtrlSocket* Client, const std::string& address, int port) {
    // Active mode from now on: a passive listener (or a passive connection
    // that came before any transfer command) is dropped, so no transfer
    // waits for a connection the client will never make.
    if (Client->PasvListener)
        Client->PasvListener->Close();
    if (Client->PassiveConnected) {
        Client->DataSocket->OnSessionClosed = nullptr;
        Client->DataSocket->Close();
    }
    Client->PassiveMode = false;
    Client->PassiveStart = false;
    Client->PassiveConnected = false;
    Client->DataAddr = address;
    Client->DataPort = std::to_string(port);
}

int TFtpServer::OpenPassiveListener(TFtpCtrlSocket* Client, const std::string& bindAddress) {
    TWSocket* data = Client->DataSocket.get();
    data->OnSessionClosed = nullptr;
    if (data->State() != wsClosed)
        data->Close();
    // Until the new listener is up no passive connection is awaited, so a
    // failed PASV leaves no transfer waiting for one.
    Client->PassiveMode = false;
    Client->PassiveConnected = false;
    Client->PasvListener = std::make_unique<TWSocket>();
    TWSocket* listener = Client->PasvListener.get();
    listener->SetAddr(bindAddress);
    listener->SetPort("0");
    listener->SetProto("tcp");
    listener->SetListenPortRange(Passive.PortMin, Passive.PortMax);
    listener->OnSessionAvailable = [this, Client](TCustomWSocket*, int) {
        PassiveSessionAvailable(Client);
    };
    listener->Listen();
    TSocketAddress bound;
    if (listener->GetSockName(bound) != 0)
        throw FtpServerException(SystemErrorText(errno));
    Client->PassiveMode = true;
    Client->PassiveStart = false;
    Client->PassiveConnected = false;
    return bound.PortNumber();
}

std::string TFtpServer::PassiveFailure(TFtpCtrlSocket* Client, const char* failed,
                                       const std::exception& e) {
    const bool ranged = Passive.PortMin > 0 && Passive.PortMin <= Passive.PortMax;
    if (ranged && Client->PasvListener && Client->PasvListener->LastError() == wsa::WSAEADDRINUSE) {
        LogLine(FormatReply(replies::kPassivePortsBusyLog,
                            {HostPortText(Client->PeerAddr, Client->PeerPort),
                             std::to_string(Passive.PortMin), std::to_string(Passive.PortMax)}),
                colours::clRed);
        return replies::kNoPassivePort;
    }
    return FormatReply(failed, {e.what()});
}

void TFtpServer::CommandEPSV(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcEPSV;
    std::string arg = Params;
    for (char& c : arg)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (arg == "ALL") {
        Client->EpsvAll = true;
        Answer = replies::kEpsvAllOk;
        return;
    }
    try {
        TSocketAddress local;
        if (Client->GetSockName(local) != 0)
            throw FtpServerException(SystemErrorText(errno));
        // An IPv4 client of the dual-stack listener speaks IPv4 (protocol 1).
        const bool v6 = local.IsIPv6() && local.IPv4() == 0;
        if (!arg.empty() && arg != (v6 ? "2" : "1")) {
            Answer = FormatReply(replies::kProtocolNotSupported, {v6 ? "2" : "1"});
            return;
        }
        const int port = OpenPassiveListener(Client, local.AddressText());
        Answer = FormatReply(replies::kEpsvOk, {std::to_string(port)});
    } catch (const std::exception& e) {
        Answer = PassiveFailure(Client, replies::kEpsvFailed, e);
    }
}

void TFtpServer::CommandEPRT(TFtpCtrlSocket* Client, std::string& Keyword, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcEPRT;
    if (RefusedAfterEpsvAll(Client, Keyword, Answer))
        return;
    std::string proto, address, portText;
    int port = 0;
    if (!SplitExtendedArgument(Params, proto, address, portText) ||
        !ParsePortNumber(portText, port)) {
        Answer = replies::kEprtInvalid;
        return;
    }
    std::string canonical;
    if (proto == "1") {
        in_addr v4{};
        if (::inet_pton(AF_INET, address.c_str(), &v4) == 1)
            canonical = CanonicalAddressText(address);
    } else if (proto == "2") {
        if (WSocketIsIPv6Literal(address) && address.find_first_of("[] ") == std::string::npos)
            canonical = CanonicalAddressText(address);
    } else {
        Answer = FormatReply(replies::kProtocolNotSupported, {"1,2"});
        return;
    }
    if (canonical.empty()) {
        Answer = replies::kEprtInvalid;
        return;
    }
    // SECURITY: as for PORT: only the client itself, never a privileged port.
    if (canonical != Client->PeerAddr || port < 1024) {
        Answer = replies::kEprtIllegal;
        return;
    }
    SetActiveAddress(Client, canonical, port);
    Answer = replies::kEprtOk;
}
