#include "crypto/ChunkCipher.h"

std::string EncipherChunks(const TBlowfishSession& session, const std::string& data,
                           std::size_t chunkSize) {
    std::string out = data;
    ForEachChunk(out.data(), out.size(), chunkSize,
                 [&session](char* chunk, std::size_t size) { session.EncryptChunk(chunk, size); });
    return out;
}

TChunkDecipher::TChunkDecipher(const std::string& keyText, std::size_t chunkSize)
    : session_(keyText), framer_(chunkSize) {}

std::string TChunkDecipher::Feed(const char* data, std::size_t size) {
    std::string received(data, size);
    std::string plain;
    FeedInPlace(received.data(), received.size(),
                [&plain](const char* run, std::size_t length) { plain.append(run, length); });
    return plain;
}

std::string TChunkDecipher::Finish() {
    std::string plain;
    framer_.Finish([this, &plain](char* last, std::size_t length) {
        session_.DecryptChunk(last, length);
        plain.assign(last, length);
    });
    return plain;
}
