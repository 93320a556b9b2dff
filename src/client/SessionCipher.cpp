#include "client/SessionCipher.h"

#include "crypto/KeyAnnouncement.h"

std::string TSessionCipher::EncipherCommand(const std::string& line,
                                            const std::string& serverPublicKey,
                                            const std::string& serverKeyBits,
                                            const std::string& serverKeyLength) {
    LoadPeerKey(peer_, serverPublicKey, serverKeyLength, serverKeyBits);
    // Servers that take a line beginning like a plain command for plain text
    // would not decipher it: one more leading space (which servers skip)
    // gives another ciphertext.
    std::string command = line;
    std::string cipher = peer_.EncryptString(command);
    for (int tries = 0; LooksLikePlainCommand(cipher) && tries < 64; ++tries) {
        command.insert(command.begin(), ' ');
        cipher = peer_.EncryptString(command);
    }
    return cipher;
}

bool TSessionCipher::DecipherReply(const std::string& line, std::string& plain) {
    // Only a well-formed ciphertext for our own key is deciphered, also one
    // that begins with three digits and a minus sign. Every other line (an
    // uncoded middle line of a multi-line reply, a plain reply, a stray
    // text) is read as it is.
    if (!own_.PrivateKeyLoaded() || !IsWellFormedCiphertext(line, own_.ModulusBytes()))
        return false;
    try {
        plain = own_.DecryptString(line);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TSessionCipher::EncipherChunk(char* data, int len) {
    if (data_ && len > 0)
        data_->EncryptChunk(data, static_cast<std::size_t>(len));
}

void TSessionCipher::EncipherChunks(char* data, std::size_t len, std::size_t chunkSize) {
    if (data_)
        data_->EncryptChunks(data, len, chunkSize);
}

void TSessionCipher::DecipherChunk(char* data, int len) {
    if (data_ && len > 0)
        data_->DecryptChunk(data, static_cast<std::size_t>(len));
}

void TSessionCipher::SetDataKey(const std::string& keyText) {
    data_ = std::make_unique<TBlowfishSession>(DataKeyText(keyText));
}
