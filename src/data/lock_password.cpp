#include "data/lock_password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <stdexcept>
#include <QStringList>
#include "data/data_module.h"

namespace LockPassword {
namespace {

const QString kMethod = QStringLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
// A stored text asking for more rounds than this is not ours (and would hang the unlock).
constexpr int kMaxRounds = 10000000;

QByteArray derive(const QByteArray &password, const QByteArray &salt, int rounds)
{
    QByteArray out(kHashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), rounds,
                          EVP_sha256(), kHashBytes, reinterpret_cast<unsigned char *>(out.data()))
        != 1)
        throw std::runtime_error("PBKDF2 failed");
    return out;
}

struct Parsed {
    int rounds = 0;
    QByteArray salt;
    QByteArray hash;
};

bool parse(const QString &stored, Parsed *out)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kMethod)
        return false;
    bool ok = false;
    out->rounds = parts[1].toInt(&ok);
    if (!ok || out->rounds < 1 || out->rounds > kMaxRounds)
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto hash = QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !hash || salt.decoded.isEmpty() || hash.decoded.size() != kHashBytes)
        return false;
    out->salt = salt.decoded;
    out->hash = hash.decoded;
    return true;
}

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

QByteArray sha256(const QByteArray &bytes)
{
    QByteArray out(EVP_MAX_MD_SIZE, '\0');
    unsigned int n = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), reinterpret_cast<unsigned char *>(out.data()), &n,
                   EVP_sha256(), nullptr)
        != 1)
        throw std::runtime_error("SHA-256 failed");
    out.truncate(int(n));
    return out;
}

} // namespace

QString hash(const QString &password)
{
    QByteArray salt(kSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), kSaltBytes) != 1)
        throw std::runtime_error("no random bytes for the password's salt");
    const QByteArray h = derive(password.toUtf8(), salt, kRounds);
    return QStringLiteral("%1$%2$%3$%4").arg(kMethod).arg(kRounds).arg(QString::fromLatin1(salt.toBase64()),
                                                                        QString::fromLatin1(h.toBase64()));
}

bool isHash(const QString &stored)
{
    Parsed p;
    return parse(stored, &p);
}

bool matches(const QString &typed, const QString &stored)
{
    Parsed p;
    if (parse(stored, &p))
        return sameBytes(derive(typed.toUtf8(), p.salt, p.rounds), p.hash);
    // A password kept as typed: compared through digests of equal length, so the time
    // taken says nothing of where the texts differ.
    return sameBytes(sha256(typed.toUtf8()), sha256(stored.toUtf8()));
}

bool verify(TDataModule2 *dm, const QString &typed, const QString &stored)
{
    if (!matches(typed, stored))
        return false;
    if (!isHash(stored))
    {
        dm->conn_jz_u.exec(QStringLiteral("update jz_ub set ub1=:a where ub3=:c and ub1=:b "),
                           {{QStringLiteral(":a"), hash(typed)}, {QStringLiteral(":c"), QStringLiteral("8")},
                            {QStringLiteral(":b"), stored}});
        dm->Query_jz_ub->reopen();
    }
    return true;
}

} // namespace LockPassword
