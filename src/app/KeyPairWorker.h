#pragma once
#include "crypto/TRSA.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;

// Generates an RSA key pair on a worker thread, on a private TRSA, so the
// event loop keeps serving sockets and the window while the primes are
// searched. The result is handed over on the thread that started it.
class KeyPairWorker : public QObject {
public:
    explicit KeyPairWorker(QObject* parent = nullptr);
    // Waits for a generation still running.
    ~KeyPairWorker() override;

    bool Running() const { return thread_ != nullptr; }
    // Generates a pair of model's sizes; done receives it on this object's
    // thread. Returns false when a generation is already running.
    bool Start(const TRSA& model, std::function<void(const TRSA& pair)> done);

private:
    void Finished();

    std::unique_ptr<QThread> thread_;
    std::unique_ptr<TRSA> pair_;
    std::function<void(const TRSA& pair)> done_;
};
