#include "crypto/ChunkCipher.h"

#include <algorithm>

std::string EncipherChunks(const TBlowfishSession& session, const std::string& data,
                           std::size_t chunkSize) {
    std::string out = data;
    for (std::size_t offset = 0; offset < out.size(); offset += chunkSize)
        session.EncryptChunk(out.data() + offset, std::min(chunkSize, out.size() - offset));
    return out;
}

TChunkDecipher::TChunkDecipher(const std::string& keyText, std::size_t chunkSize)
    : session_(keyText), chunkSize_(chunkSize) {}

std::string TChunkDecipher::Feed(const char* data, std::size_t size) {
    std::string plain;
    if (pending_.empty() && size == chunkSize_) {
        // One whole chunk with nothing pending: decipher it at once.
        plain.assign(data, size);
        session_.DecryptChunk(plain.data(), plain.size());
        return plain;
    }
    pending_.append(data, size);
    std::size_t whole = pending_.size() / chunkSize_ * chunkSize_;
    if (whole == 0)
        return plain;
    plain.assign(pending_, 0, whole);
    pending_.erase(0, whole);
    for (std::size_t offset = 0; offset < whole; offset += chunkSize_)
        session_.DecryptChunk(plain.data() + offset, chunkSize_);
    return plain;
}

std::string TChunkDecipher::Finish() {
    std::string plain;
    plain.swap(pending_);
    if (!plain.empty())
        session_.DecryptChunk(plain.data(), plain.size());
    return plain;
}
