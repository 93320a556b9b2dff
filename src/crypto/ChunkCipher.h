#pragma once
#include "crypto/TDCP_blowfish.h"

#include <cstddef>
#include <string>

// Enciphered data connections travel in chunks, each enciphered on its own
// with a fresh cipher: 2048-byte chunks from server to client, 1514-byte
// chunks from client to server; only the last chunk may be shorter.
inline constexpr std::size_t kServerToClientChunk = 2048;
inline constexpr std::size_t kClientToServerChunk = 1514;

// Enciphers data as consecutive chunks of chunkSize, each on its own.
std::string EncipherChunks(const TBlowfishSession& session, const std::string& data,
                           std::size_t chunkSize);

// Reassembles received ciphertext into whole chunks, however the bytes
// arrive, and deciphers each one; Finish() deciphers what is left as one
// short chunk at the end of the transfer.
class TChunkDecipher {
public:
    TChunkDecipher(const std::string& keyText, std::size_t chunkSize);

    // Returns the plain text of every chunk completed by these bytes.
    std::string Feed(const char* data, std::size_t size);
    std::string Feed(const std::string& data) { return Feed(data.data(), data.size()); }
    // The plain text of the pending short chunk (empty when none); resets.
    std::string Finish();
    std::size_t Pending() const { return pending_.size(); }

private:
    TBlowfishSession session_;
    std::size_t chunkSize_;
    std::string pending_;
};
