#include "data/import_store.h"

#include <sqlcipher/sqlite3.h>
#include <QCryptographicHash>
#include <QDateTime>
#include <QSet>
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/schema.h"

namespace {

// jz_daoru: one row per imported entry. d1 source kind, d2 order number, d3 file name,
// d4 batch, d5 time, d6 the entry as stored (to see later whether it was changed).
const char kCreate[] =
    "CREATE TABLE IF NOT EXISTS jz_daoru (did INTEGER PRIMARY KEY AUTOINCREMENT, bid TEXT, "
    "d1 TEXT, d2 TEXT, d3 TEXT, d4 TEXT, d5 TEXT, d6 TEXT)";
const char kIndexOrder[] = "CREATE INDEX IF NOT EXISTS jz_daoru_d2 ON jz_daoru (d1, d2)";
const char kIndexBatch[] = "CREATE INDEX IF NOT EXISTS jz_daoru_d4 ON jz_daoru (d4)";

// A prepared statement stepped many times.
class Stmt
{
public:
    Stmt(Connection &c, const char *sql) : m_c(c)
    {
        if (sqlite3_prepare_v2(c.handle(), sql, -1, &m_st, nullptr) != SQLITE_OK)
            c.fail();
    }
    ~Stmt() { sqlite3_finalize(m_st); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    void bind(int i, const QString &v)
    {
        if (v.isNull()) {
            sqlite3_bind_null(m_st, i);
            return;
        }
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(m_st, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    bool step()
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            m_c.fail();
        return false;
    }
    void run()
    {
        step();
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }
    QString text(int col) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_st, col));
        if (!p)
            return QString();
        const int n = sqlite3_column_bytes(m_st, col);
        return n == 0 ? QStringLiteral("") : QString::fromUtf8(p, n);
    }
    qint64 integer(int col) const { return sqlite3_column_int64(m_st, col); }

private:
    Connection &m_c;
    sqlite3_stmt *m_st = nullptr;
};

// An amount text in one canonical form ("12", "12.0", "12.00" and " 12.00" all read
// "12"), so that amounts stored in different forms compare equal; other texts as they are.
QString sameAmount(const QString &text)
{
    QString t = text.trimmed();
    bool neg = false;
    if (t.startsWith(QLatin1Char('-'))) {
        neg = true;
        t.remove(0, 1);
    }
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? t : t.left(dot);
    QString frac = dot < 0 ? QString() : t.mid(dot + 1);
    auto digits = [](const QString &s) {
        for (QChar ch : s)
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return false;
        return true;
    };
    if (whole.isEmpty() || !digits(whole) || !digits(frac))
        return text;
    while (whole.size() > 1 && whole.front() == QLatin1Char('0'))
        whole.remove(0, 1);
    while (frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    QString out = frac.isEmpty() ? whole : whole + QLatin1Char('.') + frac;
    if (neg && out != QLatin1String("0"))
        out.prepend(QLatin1Char('-'));
    return out;
}

QString likeKey(const QString &date, const QString &amount, const QString &kind, const QString &party)
{
    return date + QChar(0x1f) + sameAmount(amount) + QChar(0x1f) + kind + QChar(0x1f) + party;
}

// A short digest of the stored entry (NULLs differ from empty texts): enough to see that
// it was changed, and a tenth of the size of the entry itself.
QString fingerprint(const QStringList &values)
{
    QString out;
    for (const QString &v : values) {
        out += v.isNull() ? QStringLiteral("\x01") : v;
        out += QChar(0x1f);
    }
    return QString::fromLatin1(QCryptographicHash::hash(out.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

} // namespace

ImportStore::ImportStore(Connection &ledger) : m_c(ledger) {}

std::unique_ptr<Connection> ImportStore::openLedger(const TDataModule2 &dm)
{
    auto c = std::make_unique<Connection>(QStringLiteral("import_m"));
    c->open(dm.conn_jz_m.path(), Schema::ledger().password);
    return c;
}

std::unique_ptr<Connection> ImportStore::openPhrases(const TDataModule2 &dm)
{
    auto c = std::make_unique<Connection>(QStringLiteral("import_f"));
    c->open(dm.conn_jz_f.path(), Schema::phrases().password);
    return c;
}

bool ImportStore::tableExists()
{
    Stmt q(m_c, "select 1 from sqlite_master where type = 'table' and name = 'jz_daoru'");
    return q.step();
}

void ImportStore::ensureTable()
{
    m_c.exec(QString::fromLatin1(kCreate));
    m_c.exec(QString::fromLatin1(kIndexOrder));
    m_c.exec(QString::fromLatin1(kIndexBatch));
}

void ImportStore::markDuplicates(const QString &sourceKind, const QString &bookKey, QList<ImportRow> &rows)
{
    QSet<QString> orders;
    bool anyOrder = false, anyPlain = false;
    for (const ImportRow &r : rows)
        (r.orderNo.isEmpty() ? anyPlain : anyOrder) = true;
    if (anyOrder && tableExists()) {
        Stmt q(m_c, "select d2 from jz_daoru where d1 = ?1");
        q.bind(1, sourceKind);
        while (q.step())
            orders.insert(q.text(0));
    }
    QSet<QString> entries;
    if (anyPlain) {
        Stmt q(m_c, "select b2, b5, b8, b1, b4 from jz_ab where b14 = ?1");
        q.bind(1, bookKey);
        while (q.step()) {
            const QString kind = q.text(3);
            const QString total = kind == QStringLiteral("收入") ? q.text(1) : q.text(2);
            entries.insert(likeKey(q.text(0), total, kind, q.text(4)));
        }
    }
    for (ImportRow &r : rows) {
        bool dup;
        if (!r.orderNo.isEmpty()) {
            dup = orders.contains(r.orderNo);
            orders.insert(r.orderNo);   // the same number twice in one file
        } else {
            dup = entries.contains(likeKey(r.date, r.total, r.kind, r.party));
        }
        if (dup) {
            r.ticked = false;
            r.reason = r.reason.isEmpty() ? duplicateReason() : duplicateReason() + QStringLiteral("；") + r.reason;
        }
    }
}

ImportStore::Stored ImportStore::store(const QString &bookKey, const QString &sourceKind, const QString &fileName,
                                       const QList<ImportRow> &rows, const std::function<bool(int)> &progress)
{
    Stored out;
    Connection::Transaction t(m_c);
    ensureTable();
    {
        Stmt q(m_c, "select coalesce(max(cast(d4 as integer)), 0) + 1 from jz_daoru");
        q.step();
        out.batch = q.integer(0);
    }
    const QString batch = QString::number(out.batch);
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    Stmt income(m_c, "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (?1,?2,?3,?4,?5,?6,?7,?8)");
    Stmt expense(m_c, "insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (?1,?2,?3,?4,?5,?6,?7,?8)");
    Stmt source(m_c, "insert into jz_daoru (bid,d1,d2,d3,d4,d5,d6) values (?1,?2,?3,?4,?5,?6,?7)");
    int done = 0;
    for (const ImportRow &r : rows) {
        if (done % 2000 == 0 && progress && !progress(done)) {
            out.cancelled = true;
            return out;   // the transaction rolls back
        }
        ++done;
        if (!r.ticked || !r.tickable)
            continue;
        const bool isIncome = r.kind == QStringLiteral("收入");
        if (!isIncome && r.kind != QStringLiteral("支出"))
            throw DbError(QStringLiteral("第 %1 行的类别“%2”既不是收入也不是支出。").arg(r.line).arg(r.kind));
        Stmt &ins = isIncome ? income : expense;
        const QStringList values{r.kind, r.date, r.summary, r.party, r.total, r.settled, r.outstanding, bookKey};
        for (int i = 0; i < values.size(); ++i)
            ins.bind(i + 1, values[i]);
        ins.run();
        const QString bid = QString::number(m_c.lastInsertId());
        const QString none;
        const QStringList stored = isIncome
            ? QStringList{r.kind, r.date, r.summary, r.party, r.total, r.settled, r.outstanding, none, none, none, bookKey}
            : QStringList{r.kind, r.date, r.summary, r.party, none, none, none, r.total, r.settled, r.outstanding, bookKey};
        source.bind(1, bid);
        source.bind(2, sourceKind);
        source.bind(3, r.orderNo);
        source.bind(4, fileName);
        source.bind(5, batch);
        source.bind(6, now);
        source.bind(7, fingerprint(stored));
        source.run();
        ++out.entries;
    }
    if (progress && !progress(done)) {
        out.cancelled = true;
        return out;
    }
    t.commit();
    return out;
}

void ImportStore::addPhrases(Connection &phrases, const QList<ImportRow> &rows)
{
    Connection::Transaction t(phrases);
    for (const char *table : {"a1", "a2"}) {
        const bool summaries = table[1] == '1';
        QSet<QString> known;
        {
            Stmt q(phrases, summaries ? "select z1 from a1" : "select z1 from a2");
            while (q.step())
                known.insert(q.text(0));
        }
        Stmt ins(phrases, summaries ? "insert into a1 (z1)values (?1)" : "insert into a2 (z1)values (?1)");
        for (const ImportRow &r : rows) {
            const QString &text = summaries ? r.summary : r.party;
            if (!r.ticked || !r.tickable || text.isEmpty() || known.contains(text))
                continue;
            known.insert(text);
            ins.bind(1, text);
            ins.run();
        }
    }
    t.commit();
}

ImportStore::LastBatch ImportStore::lastBatch()
{
    LastBatch out;
    if (!tableExists())
        return out;
    Stmt q(m_c, "select d4, d3, d5 from jz_daoru where cast(d4 as integer) = "
                "(select max(cast(d4 as integer)) from jz_daoru) limit 1");
    if (!q.step())
        return out;
    out.batch = q.integer(0);
    out.fileName = q.text(1);
    out.time = q.text(2);
    Stmt n(m_c, "select count(*) from jz_daoru s join jz_ab e on e.bid = cast(s.bid as integer) "
                "where s.d4 = ?1");
    n.bind(1, QString::number(out.batch));
    n.step();
    out.entries = int(n.integer(0));
    return out;
}

ImportStore::Undone ImportStore::undoLast()
{
    Undone out;
    Connection::Transaction t(m_c);
    const LastBatch last = lastBatch();
    if (last.batch == 0)
        return out;
    const QString batch = QString::number(last.batch);
    QStringList gone;
    {
        Stmt q(m_c, "select s.bid, s.d6, e.b1, e.b2, e.b3, e.b4, e.b5, e.b6, e.b7, e.b8, e.b9, e.b10, e.b14, "
                    "e.bid is null from jz_daoru s left join jz_ab e on e.bid = cast(s.bid as integer) "
                    "where s.d4 = ?1 order by cast(s.bid as integer)");
        q.bind(1, batch);
        while (q.step()) {
            if (q.integer(13))
                continue;   // deleted by hand since: nothing left to take back
            QStringList now;
            for (int c = 2; c <= 12; ++c)
                now << q.text(c);
            if (fingerprint(now) != q.text(1))
                out.changed << QStringLiteral("编号 %1（%2 %3）").arg(q.text(0), q.text(3).trimmed(), q.text(4));
        }
    }
    if (!out.changed.isEmpty())
        return out;   // nothing removed
    m_c.exec(QStringLiteral("delete from jz_ab where bid in (select cast(bid as integer) from jz_daoru where d4 = :a)"),
             {{QStringLiteral(":a"), batch}});
    out.removed = m_c.changes();
    m_c.exec(QStringLiteral("delete from jz_daoru where d4 = :a"), {{QStringLiteral(":a"), batch}});
    t.commit();
    return out;
}
