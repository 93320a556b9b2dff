#include "app/KeyPairWorker.h"

#include <QThread>

KeyPairWorker::KeyPairWorker(QObject* parent) : QObject(parent) {}

KeyPairWorker::~KeyPairWorker() {
    if (thread_)
        thread_->wait();
}

bool KeyPairWorker::Start(const TRSA& model, std::function<void(const TRSA& pair)> done) {
    if (thread_)
        return false;
    pair_ = std::make_unique<TRSA>();
    pair_->SetKeyBits(model.KeyBits());
    pair_->SetSymKeyLength(model.SymKeyLength());
    done_ = std::move(done);
    // The worker touches nothing but its own TRSA.
    TRSA* pair = pair_.get();
    thread_.reset(QThread::create([pair] {
        try {
            pair->GenerateKeys();
        } catch (...) {
            // A pair without keys tells the loop thread that it failed.
            pair->ClearKeys();
        }
    }));
    // Emitted on the worker thread; delivered here through the loop.
    connect(thread_.get(), &QThread::finished, this, &KeyPairWorker::Finished,
            Qt::QueuedConnection);
    thread_->start();
    return true;
}

void KeyPairWorker::Finished() {
    thread_->wait();
    thread_.reset();
    std::unique_ptr<TRSA> pair = std::move(pair_);
    auto done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(*pair);
}
