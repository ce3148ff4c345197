#pragma once
// The start-up password as the settings row keeps it (ub1): a salted, slow hash in a text
// that names its method, "pbkdf2-sha256$<rounds>$<salt>$<hash>" (salt and hash in base64).
// Rows written before hold the password itself; they still unlock, and are replaced by the
// hash at their first successful unlock.
#include <QString>

class TDataModule2;

namespace LockPassword {

// Rounds of a new hash: about 0.2 s of one core here.
constexpr int kRounds = 600000;

// A new hash of password, with a fresh random salt. Throws std::runtime_error when the
// system has no random bytes to give.
QString hash(const QString &password);

// Whether stored is a hash made by hash() (else it is a password kept as it was typed).
bool isHash(const QString &stored);

// Whether typed is the password stored holds (hash or plain text), compared in constant
// time. An empty stored value matches nothing but an empty typed one, as before.
bool matches(const QString &typed, const QString &stored);

// The one verifier of the lock panel and the password window: whether typed is the
// password of the settings row as last loaded (stored). A plain stored password that
// matches is replaced by its hash in one statement, and the row is read again. Throws
// DbError when that statement fails.
bool verify(TDataModule2 *dm, const QString &typed, const QString &stored);

} // namespace LockPassword
