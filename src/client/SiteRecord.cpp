#include "client/SiteRecord.h"

#include <algorithm>
#include <cstring>

using namespace site_layout;

namespace {
void PutText(SiteRecord::Bytes& bytes, TextField field, const std::string& text) {
    std::size_t len = std::min(text.size(), field.capacity);
    bytes[field.offset] = static_cast<std::uint8_t>(len);
    std::memcpy(bytes.data() + field.offset + 1, text.data(), len);
}

std::string GetText(const std::uint8_t* data, TextField field) {
    std::size_t len = std::min<std::size_t>(data[field.offset], field.capacity);
    return std::string(reinterpret_cast<const char*>(data + field.offset + 1), len);
}

void PutInt32(SiteRecord::Bytes& bytes, std::size_t offset, std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* data, std::size_t offset) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(data[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// The fields both layouts share (offsets 0 to 298).
void ReadCommonFields(SiteRecord& r, const std::uint8_t* data) {
    r.Name = GetText(data, kName);
    r.Host = GetText(data, kHost);
    r.Port = GetText(data, kPort);
    r.UserName = GetText(data, kUserName);
    r.Password = GetText(data, kPassword);
    r.LoginType = GetInt32(data, kLoginType);
    r.EncryptionMandatory = data[kEncryptionMandatory] != 0;
    r.Passive = data[kPassive] != 0;
    r.EncryptionKey = GetText(data, kEncryptionKey);
}
} // namespace

SiteRecord::Bytes SiteRecord::ToBytes() const {
    Bytes bytes{};
    PutText(bytes, kName, Name);
    PutText(bytes, kHost, Host);
    PutText(bytes, kPort, Port);
    PutText(bytes, kUserName, UserName);
    PutText(bytes, kPassword, Password);
    PutInt32(bytes, kLoginType, LoginType);
    bytes[kEncryptionMandatory] = EncryptionMandatory ? 1 : 0;
    bytes[kPassive] = Passive ? 1 : 0;
    PutText(bytes, kEncryptionKey, EncryptionKey);
    PutText(bytes, kSocksServer, SocksServer);
    PutText(bytes, kSocksPort, SocksPort);
    PutText(bytes, kSocksUsername, SocksUsername);
    PutText(bytes, kSocksPassword, SocksPassword);
    PutText(bytes, kProxyServer, ProxyServer);
    bytes[kNoSocks] = NoSocks ? 1 : 0;
    bytes[kNoRSA] = NoRSA ? 1 : 0;
    return bytes;
}

SiteRecord SiteRecord::FromBytes(const std::uint8_t* data) {
    SiteRecord r;
    ReadCommonFields(r, data);
    r.SocksServer = GetText(data, kSocksServer);
    r.SocksPort = GetText(data, kSocksPort);
    r.SocksUsername = GetText(data, kSocksUsername);
    r.SocksPassword = GetText(data, kSocksPassword);
    r.ProxyServer = GetText(data, kProxyServer);
    r.NoSocks = data[kNoSocks] != 0;
    r.NoRSA = data[kNoRSA] != 0;
    return r;
}

SiteRecord SiteRecord::FromOldBytes(const std::uint8_t* data) {
    SiteRecord r;
    ReadCommonFields(r, data);
    return r;
}

bool SiteRecord::LooksValid(const std::uint8_t* data) {
    for (TextField field : {kName, kHost, kPort, kUserName, kPassword, kEncryptionKey, kSocksServer,
                            kSocksPort, kSocksUsername, kSocksPassword, kProxyServer})
        if (data[field.offset] > field.capacity)
            return false;
    std::int32_t loginType = GetInt32(data, kLoginType);
    if (loginType < 0 || loginType > 3)
        return false;
    for (std::size_t flag : {kEncryptionMandatory, kPassive, kNoSocks, kNoRSA})
        if (data[flag] > 1)
            return false;
    return true;
}
