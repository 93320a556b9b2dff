#include "crypto/SystemRandom.h"
#include "crypto/CryptoErrors.h"
#include "crypto/CryptoMessages.h"
#include <cerrno>
#include <sys/random.h>

void SystemRandomFill(void* buffer, std::size_t bytes) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (bytes > 0) {
        ssize_t got = getrandom(out, bytes, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw ECryptoError(crypto_messages::kNoSystemRandom);
        }
        out += got;
        bytes -= static_cast<std::size_t>(got);
    }
}

std::vector<std::uint32_t> SystemRandomWords(std::size_t count) {
    std::vector<std::uint32_t> words(count);
    SystemRandomFill(words.data(), count * sizeof(std::uint32_t));
    return words;
}
