#pragma once
#include "crypto/KeyAnnouncement.h"
#include "crypto/TRSA.h"

#include <string>

// The program's own key pair, the peer-key object and the sizes it announces,
// in one place shared by the server and the client. Both read it at the
// moment they use it, so a pair generated or cleared while the program runs
// is what the next key exchange announces and deciphers with.
struct ProgramKeys {
    // The own pair: announced in PUBK and 666, deciphers what peers send.
    TRSA RSA1;
    // Loaded with a peer's public key right before each encipherment.
    TRSA RSA2;
    // The announced sizes ("064".."256" and "0512".."2048") of the pair in use.
    std::string CurrentKeyLength = "064";
    std::string CurrentKeyBits = "0512";

    // The public key text as announced: empty while no pair is loaded.
    std::string PublicKeyText() const {
        return RSA1.PublicKeyLoaded() ? RSA1.PublicKey() : std::string();
    }
    // Keys holding a copy of pair, announcing the pair's own sizes.
    static ProgramKeys From(const TRSA& pair) {
        ProgramKeys keys;
        keys.RSA1 = pair;
        keys.CurrentKeyLength = SymKeyLengthText(pair.SymKeyLength());
        keys.CurrentKeyBits = KeyBitsText(pair.KeyBits());
        return keys;
    }
    // Key text, length text and bits text with nothing between them.
    std::string Announcement() const { return PublicKeyText() + CurrentKeyLength + CurrentKeyBits; }
};
