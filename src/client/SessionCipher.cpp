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
    if (!LooksLikePlainReply(line)) {
        plain = own_.DecryptString(line);
        return true;
    }
    // A ciphertext may begin with three digits and a minus sign; a plain
    // reply line never has the form of a whole number of cipher blocks.
    if (own_.PrivateKeyLoaded() && IsWellFormedCiphertext(line, own_.ModulusBytes())) {
        try {
            plain = own_.DecryptString(line);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    return false;
}

void TSessionCipher::EncipherChunk(char* data, int len) {
    if (data_ && len > 0)
        data_->EncryptChunk(data, static_cast<std::size_t>(len));
}

void TSessionCipher::DecipherChunk(char* data, int len) {
    if (data_ && len > 0)
        data_->DecryptChunk(data, static_cast<std::size_t>(len));
}

void TSessionCipher::SetDataKey(const std::string& keyText) {
    data_ = std::make_unique<TBlowfishSession>(keyText.substr(0, 56));
}
