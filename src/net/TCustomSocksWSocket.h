#pragma once
#include "TCustomWSocket.h"

// The layer that negotiates with a SOCKS proxy before the connection is
// handed to its owner. Without a SOCKS server set it passes everything through.
class TCustomSocksWSocket : public TCustomWSocket {
public:
    explicit TCustomSocksWSocket(QObject* parent = nullptr) : TCustomWSocket(parent) {}
};
