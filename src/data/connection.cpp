#include "data/connection.h"

#include <sqlcipher/sqlite3.h>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include "data/db_error.h"
#include "data/decimal_sum.h"
#include "data/key_derivation.h"

Connection::Connection(QString name) : m_name(std::move(name)) {}

Connection::~Connection() { close(); }

namespace {

constexpr int kSaltBytes = 16;

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
    return KeyDerivation::fileKey(password, salt, iterations);
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
