#pragma once
#include "crypto/TDCP_blowfish.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <tuple>

// Enciphered data connections travel in chunks, each enciphered on its own
// with a fresh cipher: 2048-byte chunks from server to client, 1514-byte
// chunks from client to server; only the last chunk may be shorter.
inline constexpr std::size_t kServerToClientChunk = 2048;
inline constexpr std::size_t kClientToServerChunk = 1514;

// The data key of an account or a site is its key text cut to as many
// characters as the cipher's session key holds (56); the key file that
// confirms it is made with the same text.
inline constexpr std::size_t kDataKeyChars = std::tuple_size_v<TSessionKey>;
inline std::string DataKeyText(const std::string& keyText) {
    return keyText.substr(0, kDataKeyChars);
}

// Calls cipher(chunk, length) on each consecutive chunk of data, in place;
// only the last chunk may be shorter than chunkSize.
template <class Cipher>
void ForEachChunk(char* data, std::size_t size, std::size_t chunkSize, Cipher&& cipher) {
    for (std::size_t offset = 0; offset < size; offset += chunkSize)
        cipher(data + offset, std::min(chunkSize, size - offset));
}

// Cuts a received byte stream back into the chunks it was sent in, however
// the bytes were split on the way.
class TChunkFramer {
public:
    explicit TChunkFramer(std::size_t chunkSize) : chunkSize_(chunkSize) {}

    // Hands what these bytes complete to take(run, length), in order: a
    // pending chunk completed first, then the whole chunks of data as one run
    // in place (so data is written to by a take that deciphers in place).
    // Every length is a whole number of chunks; a partial tail waits.
    template <class Take> void Feed(char* data, std::size_t size, Take&& take) {
        if (!pending_.empty()) {
            const std::size_t fill = std::min(size, chunkSize_ - pending_.size());
            pending_.append(data, fill);
            data += fill;
            size -= fill;
            if (pending_.size() < chunkSize_)
                return;
            take(pending_.data(), chunkSize_);
            pending_.clear();
        }
        const std::size_t whole = size / chunkSize_ * chunkSize_;
        if (whole > 0)
            take(data, whole);
        pending_.assign(data + whole, size - whole);
    }
    // Hands the pending short chunk, if there is one, at the end of the
    // stream, and starts afresh.
    template <class Take> void Finish(Take&& take) {
        if (pending_.empty())
            return;
        std::string last;
        last.swap(pending_);
        take(last.data(), last.size());
    }
    std::size_t ChunkSize() const { return chunkSize_; }
    std::size_t Pending() const { return pending_.size(); }
    void Clear() { pending_.clear(); }

private:
    std::size_t chunkSize_;
    std::string pending_;
};

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
    // The same without copies: whole chunks of data are deciphered in place
    // and handed to sink(plain, length) in order (a chunk completed from an
    // earlier read first).
    template <class Sink> void FeedInPlace(char* data, std::size_t size, Sink&& sink) {
        framer_.Feed(data, size, [this, &sink](char* run, std::size_t length) {
            ForEachChunk(run, length, framer_.ChunkSize(),
                         [this](char* chunk, std::size_t n) { session_.DecryptChunk(chunk, n); });
            sink(static_cast<const char*>(run), length);
        });
    }
    std::string Feed(const std::string& data) { return Feed(data.data(), data.size()); }
    // The plain text of the pending short chunk (empty when none); resets.
    std::string Finish();
    std::size_t Pending() const { return framer_.Pending(); }

private:
    TBlowfishSession session_;
    TChunkFramer framer_;
};
