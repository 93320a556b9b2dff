#pragma once
#include "crypto/ChunkCipher.h"
#include "crypto/TRSA.h"
#include "ftpclient/FtpCipherHooks.h"

#include <memory>
#include <string>

// The encrypted session as the client engine sees it: commands enciphered
// with the server's public key (in the peer-key object), replies deciphered
// with the program's own pair, and data chunks under the agreed key text.
class TSessionCipher : public TFtpCipherHooks {
public:
    TSessionCipher(TRSA& ownPair, TRSA& peerKey) : own_(ownPair), peer_(peerKey) {}

    std::string EncipherCommand(const std::string& line, const std::string& serverPublicKey,
                                const std::string& serverKeyBits,
                                const std::string& serverKeyLength) override;
    bool DecipherReply(const std::string& line, std::string& plain) override;
    void EncipherChunk(char* data, int len) override;
    void DecipherChunk(char* data, int len) override;
    void EncipherChunks(char* data, std::size_t len, std::size_t chunkSize) override;

    // The data key: the site's key text (the cipher uses its first 56 characters).
    void SetDataKey(const std::string& keyText);
    void ClearDataKey() { data_.reset(); }
    bool HasDataKey() const { return data_ != nullptr; }

private:
    TRSA& own_;
    TRSA& peer_;
    std::unique_ptr<TBlowfishSession> data_;
};
