#include "data/key_derivation.h"

#include <cstdint>
#include <cstring>
// The low-level hash calls keep a hash state between rounds.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace KeyDerivation {

namespace {

constexpr int kKeyBytes = 32;

void putBigEndian(const SHA_CTX &c, unsigned char *out)
{
    const SHA_LONG h[5] = {c.h0, c.h1, c.h2, c.h3, c.h4};
    for (int i = 0; i < 5; ++i) {
        out[4 * i] = static_cast<unsigned char>(h[i] >> 24);
        out[4 * i + 1] = static_cast<unsigned char>(h[i] >> 16);
        out[4 * i + 2] = static_cast<unsigned char>(h[i] >> 8);
        out[4 * i + 3] = static_cast<unsigned char>(h[i]);
    }
}

} // namespace

QByteArray fileKey(const QByteArray &password, const QByteArray &salt, int iterations)
{
    unsigned char key[SHA_CBLOCK] = {};
    if (password.size() > SHA_CBLOCK)
        SHA1(reinterpret_cast<const unsigned char *>(password.constData()), size_t(password.size()), key);
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    unsigned char ipad[SHA_CBLOCK], opad[SHA_CBLOCK];
    for (int i = 0; i < SHA_CBLOCK; ++i) {
        ipad[i] = key[i] ^ 0x36;
        opad[i] = key[i] ^ 0x5c;
    }
    SHA_CTX inner, outer;
    SHA1_Init(&inner);
    SHA1_Update(&inner, ipad, SHA_CBLOCK);
    SHA1_Init(&outer);
    SHA1_Update(&outer, opad, SHA_CBLOCK);

    QByteArray out;
    for (uint32_t blockNo = 1; out.size() < kKeyBytes; ++blockNo) {
        unsigned char u[SHA_DIGEST_LENGTH], t[SHA_DIGEST_LENGTH];
        const unsigned char index[4] = {static_cast<unsigned char>(blockNo >> 24), static_cast<unsigned char>(blockNo >> 16),
                                        static_cast<unsigned char>(blockNo >> 8), static_cast<unsigned char>(blockNo)};
        SHA_CTX c = inner;
        SHA1_Update(&c, salt.constData(), size_t(salt.size()));
        SHA1_Update(&c, index, sizeof index);
        SHA1_Final(u, &c);
        c = outer;
        SHA1_Update(&c, u, SHA_DIGEST_LENGTH);
        SHA1_Final(u, &c);
        std::memcpy(t, u, SHA_DIGEST_LENGTH);
        // Every later round hashes 20 bytes after a 64-byte pad: one block, padded once here.
        unsigned char block[SHA_CBLOCK] = {};
        block[SHA_DIGEST_LENGTH] = 0x80;
        const unsigned bits = (SHA_CBLOCK + SHA_DIGEST_LENGTH) * 8;
        block[62] = static_cast<unsigned char>(bits >> 8);
        block[63] = static_cast<unsigned char>(bits);
        for (int round = 1; round < iterations; ++round) {
            std::memcpy(block, u, SHA_DIGEST_LENGTH);
            c = inner;
            SHA1_Transform(&c, block);
            putBigEndian(c, block);
            c = outer;
            SHA1_Transform(&c, block);
            putBigEndian(c, u);
            for (int i = 0; i < SHA_DIGEST_LENGTH; ++i)
                t[i] ^= u[i];
        }
        out.append(reinterpret_cast<const char *>(t), SHA_DIGEST_LENGTH);
    }
    out.truncate(kKeyBytes);
    return out;
}

} // namespace KeyDerivation
