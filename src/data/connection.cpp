#include "data/connection.h"

#include <sqlcipher/sqlite3.h>
#include <QFile>
#include <QFileInfo>
#include <cstring>
// The low-level hash calls keep a hash state between rounds.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>
#include "data/db_error.h"
#include "data/decimal_sum.h"

Connection::Connection(QString name) : m_name(std::move(name)) {}

Connection::~Connection() { close(); }

namespace {

constexpr int kSaltBytes = 16;
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

// The salt the engine keeps at the start of an encrypted file; empty when there is none.
QByteArray fileSalt(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = f.read(kSaltBytes);
    return salt.size() == kSaltBytes ? salt : QByteArray();
}

} // namespace

QByteArray Connection::deriveFileKey(const QByteArray &password, const QByteArray &salt, int iterations)
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

int Connection::defaultKeyRounds()
{
    static const int rounds = [] {
        int n = 0;
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
            && sqlite3_key(db, "k", 1) == SQLITE_OK) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA cipher_default_kdf_iter", -1, &st, nullptr) == SQLITE_OK
                && sqlite3_step(st) == SQLITE_ROW)
                n = sqlite3_column_int(st, 0);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return n;
    }();
    return rounds;
}

void Connection::open(const QString &path, const QByteArray &key, bool create)
{
    // An existing file: the key is derived here (the engine's derivation is most of the
    // time an open takes) and handed over raw. Should the engine not take it, it derives
    // the key itself as it always did, and reports as it always did.
    if (!create && defaultKeyRounds() > 0) {
        const QByteArray salt = fileSalt(path);
        if (!salt.isEmpty()) {
            const QByteArray raw = "x'" + deriveFileKey(key, salt, defaultKeyRounds()).toHex() + "'";
            try {
                openWith(path, raw, false);
                return;
            } catch (const DbError &e) {
                if (e.code() != SQLITE_NOTADB)
                    throw;
            }
        }
    }
    openWith(path, key, create);
}

void Connection::openWith(const QString &path, const QByteArray &key, bool create)
{
    close();
    m_path = path;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3 *db = nullptr;
    const QByteArray file = path.toUtf8();
    int rc = sqlite3_open_v2(file.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw DbError(text, rc & 0xff);
    }
    m_db = db;
    // The key goes in as bytes, so quotes and non-ASCII characters need no escaping.
    rc = sqlite3_key(m_db, key.constData(), key.size());
    if (rc != SQLITE_OK)
        fail();
    sqlite3_extended_result_codes(m_db, 1);
    // Another process holding the file for a moment makes a statement wait, not fail.
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    try {
        // Reading the schema proves the key (a wrong one reads as "not a database").
        exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        // A page cache that holds the file, so queries do not decrypt pages again.
        exec(QStringLiteral("PRAGMA cache_size = -%1").arg(cacheKiB()));
        exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    } catch (...) {
        close();
        throw;
    }
    registerDecimalSum(m_db);
}

int Connection::cacheKiB() const
{
    // Room for the file as it is plus growth, capped so a huge file cannot eat memory. The
    // current book's entries are held in memory (BookCache): the ledger needs its pages only
    // for the few passes that remain, which a file of a million entries would not fit anyway.
    const qint64 size = QFileInfo(m_path).size();
    const qint64 kib = size / 1024 * 5 / 4 + 16 * 1024;
    return int(qMin<qint64>(kib, m_name == QLatin1String("conn_jz_m") ? 4 * 1024 : 512 * 1024));
}

void Connection::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Connection::takeOver(Connection &other)
{
    if (&other == this)
        return;
    close();
    m_db = other.m_db;
    m_path = other.m_path;
    other.m_db = nullptr;
}

void Connection::setBusyTimeout(int ms)
{
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

void Connection::fail(const QString &context) const
{
    QString text = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("database not open");
    if (!context.isEmpty())
        text = context + QStringLiteral(": ") + text;
    const QString file = QFileInfo(m_path).fileName();
    const int code = m_db ? sqlite3_extended_errcode(m_db) & 0xff : SQLITE_OK;
    QString why;
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        why = QStringLiteral("数据文件 %1 正被其他程序占用，本次操作没有完成。请稍后再试。");
        break;
    case SQLITE_FULL:
        why = QStringLiteral("磁盘已满，数据文件 %1 无法写入，本次操作没有完成，已有的数据不受影响。"
                             "请腾出磁盘空间后再试。");
        break;
    case SQLITE_READONLY:
        why = QStringLiteral("数据文件 %1 不可写入，本次操作没有完成。");
        break;
    case SQLITE_IOERR:
        why = QStringLiteral("读写数据文件 %1 时出错，本次操作没有完成。");
        break;
    default:
        break;
    }
    if (!why.isEmpty())
        text = why.arg(file) + QLatin1Char('\n') + text;
    throw DbError(text, code);
}

sqlite3_stmt *Connection::prepare(const QString &sql, const Params &params) const
{
    if (!m_db)
        throw DbError(QStringLiteral("database not open"));
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), text.size(), &st, nullptr) != SQLITE_OK)
        fail();
    if (!st)
        throw DbError(QStringLiteral("empty statement"));
    for (const auto &p : params) {
        const QByteArray name = p.first.toUtf8();
        const int idx = sqlite3_bind_parameter_index(st, name.constData());
        if (idx == 0)
            continue;  // a parameter the statement does not use
        int rc;
        if (p.second.isNull()) {
            rc = sqlite3_bind_null(st, idx);
        } else {
            const QByteArray v = p.second.toUtf8();
            rc = sqlite3_bind_text(st, idx, v.constData(), v.size(), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            fail();
        }
    }
    return st;
}

void Connection::exec(const QString &sql, const Params &params)
{
    sqlite3_stmt *st = prepare(sql, params);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        fail();
}

qint64 Connection::lastInsertId() const { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }
int Connection::changes() const { return m_db ? sqlite3_changes(m_db) : 0; }

Connection::Transaction::Transaction(Connection &c) : m_c(c)
{
    m_c.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Connection::Transaction::~Transaction()
{
    if (!m_done && m_c.handle())
        sqlite3_exec(m_c.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::Transaction::commit()
{
    m_c.exec(QStringLiteral("COMMIT"));
    m_done = true;
}
