#pragma once
#include "crypto/CryptoErrors.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// A block cipher with key-size checking, an initialisation vector and the
// chaining modes ECB, CBC (with a stream-style tail) and 8-bit CFB.
// Misuse raises EDCP_blockcipher with its exact message.
class TDCP_blockcipher {
public:
    virtual ~TDCP_blockcipher() = default;

    virtual std::string Algorithm() const = 0;
    virtual int BlockSize() const = 0;  // bits
    virtual int MaxKeySize() const = 0; // bits
    bool Initialized() const { return initialized_; }

    // key: sizeBits / 8 bytes; iv: BlockSize / 8 bytes, or null to derive one
    // by enciphering a block of 0xFF bytes.
    virtual void Init(const void* key, int sizeBits, const void* iv) = 0;
    virtual void Burn() = 0;
    virtual void Reset() = 0; // chaining value back to the IV
    virtual void EncryptECB(const void* in, void* out) = 0;
    virtual void DecryptECB(const void* in, void* out) = 0;
    // in and out may be the same buffer.
    virtual void EncryptCBC(const void* in, void* out, std::size_t size) = 0;
    virtual void DecryptCBC(const void* in, void* out, std::size_t size) = 0;
    virtual void EncryptCFB(const void* in, void* out, std::size_t size) = 0;
    virtual void DecryptCFB(const void* in, void* out, std::size_t size) = 0;

protected:
    bool initialized_ = false;
};

// The session key of a key text: the text cut to 56 characters, copied to
// the start of 56 zero bytes. The cipher always runs with all 448 bits.
using TSessionKey = std::array<std::uint8_t, 56>;
TSessionKey MakeSessionKey(const std::string& keyText);

// Blowfish: 64-bit block, 16 rounds, keys of 8 to 448 bits in whole bytes.
// Copyable: a copy of an initialised cipher carries its key schedule, IV and
// chaining value, so a schedule built once can start every chunk afresh.
class TDCP_blowfish final : public TDCP_blockcipher {
public:
    TDCP_blowfish();
    ~TDCP_blowfish() override;
    TDCP_blowfish(const TDCP_blowfish& other);
    TDCP_blowfish& operator=(const TDCP_blowfish& other);

    std::string Algorithm() const override;
    int BlockSize() const override { return 64; }
    int MaxKeySize() const override { return 448; }

    void Init(const void* key, int sizeBits, const void* iv) override;
    void Burn() override;
    void Reset() override;
    void EncryptECB(const void* in, void* out) override;
    void DecryptECB(const void* in, void* out) override;
    void EncryptCBC(const void* in, void* out, std::size_t size) override;
    void DecryptCBC(const void* in, void* out, std::size_t size) override;
    void EncryptCFB(const void* in, void* out, std::size_t size) override;
    void DecryptCFB(const void* in, void* out, std::size_t size) override;

    // Init with MakeSessionKey(keyText), size 448, no IV: the keying of
    // every enciphered buffer of a session.
    void InitSession(const std::string& keyText);

    const std::array<std::uint8_t, 8>& IV() const { return iv_; }

    // CBC from the given chaining value, which is left as the next one;
    // this cipher's own chaining value is not touched. in and out may be
    // the same buffer.
    void EncryptCBCFrom(std::array<std::uint8_t, 8>& chain, const void* in, void* out,
                        std::size_t size) const;
    void DecryptCBCFrom(std::array<std::uint8_t, 8>& chain, const void* in, void* out,
                        std::size_t size) const;
    // Four consecutive buffers of chunkSize bytes at first, each enciphered
    // in place by CBC from the IV on its own, as four EncryptCBCFrom calls.
    void EncryptFourChunks(std::uint8_t* first, std::size_t chunkSize) const;

private:
    void CheckInitialized() const;
    void EncipherBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecipherBlock(std::uint32_t& left, std::uint32_t& right) const;
    void EncipherBytes(const std::uint8_t* in, std::uint8_t* out) const;
    void DecipherBytes(const std::uint8_t* in, std::uint8_t* out) const;
    void EncipherFourBlocks(std::uint32_t (&l)[4], std::uint32_t (&r)[4]) const;
    void DecipherFourBlocks(std::uint32_t (&l)[4], std::uint32_t (&r)[4]) const;
    void XorCbcTail(const std::array<std::uint8_t, 8>& chain, const std::uint8_t* in,
                    std::uint8_t* out, std::size_t len) const;

    std::uint32_t p_[18];
    std::uint32_t s_[4][256];
    std::array<std::uint8_t, 8> iv_;
    std::array<std::uint8_t, 8> chainBlock_;
};

// Enciphers or deciphers whole buffers (chunks) of one session key
// independently: each starts from the fresh schedule and the same IV, as if
// a new cipher were keyed for it. The schedule is built once, at creation.
class TBlowfishSession {
public:
    explicit TBlowfishSession(const std::string& keyText);
    void EncryptChunk(void* buffer, std::size_t size) const;
    void DecryptChunk(void* buffer, std::size_t size) const;
    // Consecutive chunks of chunkSize in place, each enciphered on its own;
    // only the last may be shorter. The same bytes as EncryptChunk on each,
    // faster: chunks do not depend on each other, so four go side by side.
    void EncryptChunks(void* data, std::size_t size, std::size_t chunkSize) const;

private:
    TDCP_blowfish keyed_;
};
