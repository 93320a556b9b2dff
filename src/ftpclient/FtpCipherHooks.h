#pragma once
#include <algorithm>
#include <cstddef>
#include <string>

// The points where an encrypted session plugs into the client engine. The
// engine calls them; the owner installs an implementation once its keys are
// known. Without hooks every line and every data byte travels as it is.
class TFtpCipherHooks {
public:
    virtual ~TFtpCipherHooks() = default;

    // Enciphers one command line for the server whose public key text, key
    // size text ("0512"...) and symmetric length text ("064"...) are given.
    virtual std::string EncipherCommand(const std::string& line, const std::string& serverPublicKey,
                                        const std::string& serverKeyBits,
                                        const std::string& serverKeyLength) = 0;

    // Decides whether a received line is an enciphered reply and, when it is,
    // returns its plain text (which may hold several CR LF separated lines).
    // Returns false for a line that is to be read as it is. The engine asks
    // only once it has announced its key on the connection (PUBK).
    virtual bool DecipherReply(const std::string& line, std::string& plain) = 0;

    // Data connections: each chunk is enciphered or deciphered on its own, in place.
    virtual void EncipherChunk(char* data, int len) = 0;
    virtual void DecipherChunk(char* data, int len) = 0;
    // Consecutive chunks of chunkSize in place, each on its own; only the
    // last may be shorter.
    virtual void EncipherChunks(char* data, std::size_t len, std::size_t chunkSize) {
        for (std::size_t offset = 0; offset < len; offset += chunkSize)
            EncipherChunk(data + offset, static_cast<int>(std::min(chunkSize, len - offset)));
    }
};
