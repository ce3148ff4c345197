#pragma once
// The file key the engine derives from a password and a file's salt: PBKDF2 with HMAC-SHA1,
// 32 bytes. Opening an existing file with it skips the engine's own derivation, the slow
// part of an open. tst_data_module (derivedKeyIsTheEnginesKey) opens files the engine made
// with this key alone.
#include <QByteArray>

namespace KeyDerivation {

// Computed with the hash states kept between rounds and each round's padding done once: at
// 64000 rounds more than twice as fast as the library's PKCS5_PBKDF2_HMAC_SHA1 (19 ms
// against 43 ms).
QByteArray fileKey(const QByteArray &password, const QByteArray &salt, int iterations);

} // namespace KeyDerivation
