#include "crypto/KeyFile.h"

#include "crypto/ChunkCipher.h"
#include "crypto/Crc32.h"
#include "crypto/TDCP_blowfish.h"

#include <cstring>

TKeyFile MakeKeyFile(const std::string& keyText, TPseudoRandom& random) {
    TKeyFile file{};
    random.Randomize();
    for (std::size_t word = 0; word < kKeyFileSize / 4; ++word) {
        std::uint32_t value = random.Random(256);
        value *= random.Random(256);
        value *= random.Random(256);
        value *= random.Random(127);
        // Words are laid out little-endian, as they sit in memory.
        for (int i = 0; i < 4; ++i)
            file[word * 4 + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::uint32_t crc = Crc32(file.data(), kKeyFileFillerSize);
    TDCP_blowfish cipher;
    cipher.InitSession(DataKeyText(keyText));
    cipher.EncryptCBC(file.data(), file.data(), kKeyFileFillerSize);
    cipher.Burn();
    for (int i = 0; i < 4; ++i)
        file[kKeyFileFillerSize + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return file;
}

bool KeyFileMatches(const std::string& bytes, const std::string& keyText) {
    if (bytes.size() < kKeyFileSize)
        return false;
    TKeyFile file{};
    std::memcpy(file.data(), bytes.data(), kKeyFileSize);
    std::uint32_t stored = 0;
    for (int i = 0; i < 4; ++i)
        stored |= static_cast<std::uint32_t>(file[kKeyFileFillerSize + i]) << (8 * i);
    TDCP_blowfish cipher;
    cipher.InitSession(DataKeyText(keyText));
    cipher.DecryptCBC(file.data(), file.data(), kKeyFileFillerSize);
    cipher.Burn();
    bool match = Crc32(file.data(), kKeyFileFillerSize) == stored;
    file.fill(0);
    return match;
}
