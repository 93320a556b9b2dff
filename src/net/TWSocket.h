#pragma once
#include "net/SocketErrors.h"
#include "net/SocketResolve.h"
#include "net/TCustomSocksWSocket.h"

// Line mode is never switched on in this program: with it off this layer
// only passes data through.
class TCustomLineWSocket : public TCustomSocksWSocket {
public:
    explicit TCustomLineWSocket(QObject* parent = nullptr) : TCustomSocksWSocket(parent) {}
};

class TCustomSyncWSocket : public TCustomLineWSocket {
public:
    explicit TCustomSyncWSocket(QObject* parent = nullptr) : TCustomLineWSocket(parent) {}
};

// The socket the program instantiates for listening, data and client connections.
class TWSocket : public TCustomSyncWSocket {
public:
    explicit TWSocket(QObject* parent = nullptr) : TCustomSyncWSocket(parent) {}
};
