#include "data/recycle_bin.h"

#include <algorithm>
#include <memory>
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/clock.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/query.h"

namespace RecycleBin {

namespace {

// The items of one file: hs1 kind, hs2 time as shown, hs3 time in ms since the epoch,
// hs4 book key, hs5 book name, hs6 entries that went with a book, hs7 the original number.
// The copies keep the original columns without a declared type, so every value comes back
// exactly as it was read.
const char kItems[] =
    "CREATE TABLE IF NOT EXISTS jz_hs (hsid INTEGER PRIMARY KEY AUTOINCREMENT, hs1 TEXT, hs2 TEXT, "
    "hs3 INTEGER, hs4 TEXT, hs5 TEXT, hs6 INTEGER, hs7 TEXT)";
const char kBooks[] = "CREATE TABLE IF NOT EXISTS jz_hs_aa (hsid INTEGER PRIMARY KEY, aid, a1, a2, a3, a6)";
// Keyed by item and entry: a book's entries are appended in one run and read back in one.
const char kEntries[] =
    "CREATE TABLE IF NOT EXISTS jz_hs_ab (hsid INTEGER NOT NULL, bid INTEGER NOT NULL, b1, b2, b3, b4, "
    "b5, b6, b7, b8, b9, b10, b14, PRIMARY KEY (hsid, bid)) WITHOUT ROWID";
const char kLines[] = "CREATE TABLE IF NOT EXISTS jz_hs_ua (hsid INTEGER PRIMARY KEY, uaid, ua1, ua2, ua3, ua4, ua5, ua6)";

const char kEntryColumns[] = "bid, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b14";
const char kLineColumns[] = "uaid, ua1, ua2, ua3, ua4, ua5, ua6";

QString text(const char *s) { return QString::fromLatin1(s); }

bool hasBin(Connection &c)
{
    Query q(&c, QStringLiteral("binProbe"));
    q.setSql(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'jz_hs'"));
    q.open();
    return q.value(0, 0).toInt() > 0;
}

// Makes the ledger's bin tables; the book held in memory stays as it is.
void ensureLedger(TDataModule2 &dm)
{
    if (hasBin(dm.conn_jz_m))
        return;
    BookCache::OtherWrite write(BookCache::of(dm));
    Connection::Transaction t(dm.conn_jz_m);
    for (const char *sql : {kItems, kBooks, kEntries})
        dm.conn_jz_m.exec(text(sql));
    t.commit();
    write.done();
}

void ensureDetails(Connection &c)
{
    if (hasBin(c))
        return;
    Connection::Transaction t(c);
    for (const char *sql : {kItems, kLines})
        c.exec(text(sql));
    t.commit();
}

// The date as the program's date fields write it, then the time.
QString shownTime(const QDateTime &t)
{
    const QDate d = t.date();
    return QStringLiteral("%1-%2-%3 %4")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char(' '))
        .arg(d.day(), 2, 10, QLatin1Char(' '))
        .arg(t.time().toString(QStringLiteral("H:mm:ss")));
}

QString firstValue(Connection &c, const QString &sql, const Params &params)
{
    Query q(&c, QStringLiteral("binRead"));
    q.setSql(sql);
    for (const auto &p : params)
        q.bind(p.first, p.second);
    q.open();
    return q.isEmpty() ? QString() : q.value(0, 0);
}

QString bookName(Connection &ledger, const QString &key)
{
    return firstValue(ledger, QStringLiteral("select a1 from jz_aa where cast(aid as text) = :k"), {{QStringLiteral(":k"), key}});
}

// A new item of the file; its number.
qint64 addItem(Connection &c, const QString &kind, const QString &bookKey, const QString &book, const QString &original)
{
    const QDateTime t = Clock::now();
    c.exec(QStringLiteral("insert into jz_hs (hs1,hs2,hs3,hs4,hs5,hs6,hs7) values (:a,:b,:c,:d,:e,0,:g)"),
           {{QStringLiteral(":a"), kind},
            {QStringLiteral(":b"), shownTime(t)},
            {QStringLiteral(":c"), QString::number(t.toMSecsSinceEpoch())},
            {QStringLiteral(":d"), bookKey},
            {QStringLiteral(":e"), book},
            {QStringLiteral(":g"), original}});
    return c.lastInsertId();
}

Params item(qint64 id) { return {{QStringLiteral(":h"), QString::number(id)}}; }

void dropItem(Connection &c, qint64 id, const QStringList &rowTables)
{
    for (const QString &table : rowTables)
        c.exec(QStringLiteral("delete from %1 where hsid = :h").arg(table), item(id));
    c.exec(QStringLiteral("delete from jz_hs where hsid = :h"), item(id));
}

const QStringList kLedgerRows{QStringLiteral("jz_hs_ab"), QStringLiteral("jz_hs_aa")};
const QStringList kDetailRows{QStringLiteral("jz_hs_ua")};

// What the page, its totals and the book list show, read again.
void showLedger(TDataModule2 &dm, bool bookList)
{
    if (bookList && dm.Query_jz_aa->isOpen())
        dm.Query_jz_aa->reopen();
    if (dm.Query_jz_ab->isOpen())
        BookRefresh::rerunEntries(dm);
    BookRefresh::loadTotals(dm);
}

} // namespace

QString entryKind() { return QStringLiteral("收支记录"); }
QString bookKind() { return QStringLiteral("账本"); }
QString detailKind() { return QStringLiteral("明细"); }

void deleteCurrentEntry(TDataModule2 &dm)
{
    Query *q = dm.Query_jz_ab;
    if (q->currentRow() < 0)
        return;
    ensureLedger(dm);
    Connection &c = dm.conn_jz_m;
    const QString bid = q->field(QStringLiteral("bid"));
    const QString key = q->field(QStringLiteral("b14"));
    const QString book = bookName(c, key);
    BookCache::EntryWrite write(BookCache::of(dm));
    try {
        Connection::Transaction t(c);
        const qint64 h = addItem(c, entryKind(), key, book, bid);
        c.exec(QStringLiteral("insert into jz_hs_ab (hsid, %1) select :h, %1 from jz_ab where bid = :k")
                   .arg(text(kEntryColumns)),
               {{QStringLiteral(":h"), QString::number(h)}, {QStringLiteral(":k"), bid}});
        // A row already gone leaves no item behind.
        if (c.changes() != 1)
            c.exec(QStringLiteral("delete from jz_hs where hsid = :h"), item(h));
        q->deleteCurrentRow();
        t.commit();
        write.done(bid, 2);
    } catch (...) {
        // The list dropped the row already; list what the file holds.
        try {
            BookRefresh::rerunEntries(dm);
        } catch (...) {
        }
        throw;
    }
}

void keepBook(TDataModule2 &dm, const QString &key)
{
    Connection &c = dm.conn_jz_m;
    for (const char *sql : {kItems, kBooks, kEntries})
        c.exec(text(sql));
    const qint64 h = addItem(c, bookKind(), key, bookName(c, key), key);
    const Params p{{QStringLiteral(":h"), QString::number(h)}, {QStringLiteral(":k"), key}};
    c.exec(QStringLiteral("insert into jz_hs_aa (hsid, aid, a1, a2, a3, a6) select :h, aid, a1, a2, a3, a6 "
                          "from jz_aa where cast(aid as text) = :k"),
           p);
    // The same rows the book's delete takes: b14 equal to the key.
    c.exec(QStringLiteral("insert into jz_hs_ab (hsid, %1) select :h, %1 from jz_ab where b14 = :k order by bid")
               .arg(text(kEntryColumns)),
           p);
    c.exec(QStringLiteral("update jz_hs set hs6 = :n where hsid = :h"),
           {{QStringLiteral(":n"), QString::number(c.changes())}, {QStringLiteral(":h"), QString::number(h)}});
}

void deleteCurrentDetail(TDataModule2 &dm)
{
    Query *q = dm.Query_jz_ua;
    if (q->currentRow() < 0)
        return;
    Connection &c = dm.conn_jz_u;
    ensureDetails(c);
    const QString uaid = q->field(QStringLiteral("uaid"));
    const QString entry = q->field(QStringLiteral("ua6"));
    // The book of the line's entry, while there is one.
    const QString key = firstValue(dm.conn_jz_m, QStringLiteral("select b14 from jz_ab where cast(bid as text) = :e"),
                                   {{QStringLiteral(":e"), entry}});
    const QString book = key.isEmpty() ? QString() : bookName(dm.conn_jz_m, key);
    Connection::Transaction t(c);
    const qint64 h = addItem(c, detailKind(), key, book, uaid);
    c.exec(QStringLiteral("insert into jz_hs_ua (hsid, %1) select :h, %1 from jz_ua where uaid = :k").arg(text(kLineColumns)),
           {{QStringLiteral(":h"), QString::number(h)}, {QStringLiteral(":k"), uaid}});
    if (c.changes() != 1)
        c.exec(QStringLiteral("delete from jz_hs where hsid = :h"), item(h));
    q->deleteCurrentRow();
    t.commit();
}

QList<Item> items(TDataModule2 &dm)
{
    QList<Item> out;
    for (const bool detailFile : {false, true}) {
        Connection &c = detailFile ? dm.conn_jz_u : dm.conn_jz_m;
        if (!hasBin(c))
            continue;
        Query q(&c, QStringLiteral("binItems"));
        // An entry's or a line's description from its copy; a book's from its item alone.
        q.setSql(detailFile
                     ? QStringLiteral("select h.hsid, h.hs1, h.hs2, h.hs3, h.hs5, h.hs6, h.hs7, "
                                      "u.ua6, u.ua3, u.ua5 from jz_hs h left join jz_hs_ua u on u.hsid = h.hsid")
                     : QStringLiteral("select h.hsid, h.hs1, h.hs2, h.hs3, h.hs5, h.hs6, h.hs7, "
                                      "e.b1, e.b2, e.b3, e.b4, coalesce(e.b5, e.b8) from jz_hs h "
                                      "left join jz_hs_ab e on h.hs1 = :entry and e.hsid = h.hsid "
                                      "and e.bid = cast(h.hs7 as integer)"));
        q.bind(QStringLiteral(":entry"), entryKind());
        q.open();
        for (int r = 0; r < q.rowCount(); ++r) {
            Item it;
            it.detailFile = detailFile;
            it.id = q.value(r, 0).toLongLong();
            it.kind = q.value(r, 1);
            it.deletedAt = q.value(r, 2);
            it.deletedMs = q.value(r, 3).toLongLong();
            it.book = q.value(r, 4);
            // One line of the parts that are there.
            auto line = [](const QStringList &parts) {
                QStringList kept;
                for (const QString &p : parts)
                    if (!p.isEmpty())
                        kept << p;
                return kept.join(QLatin1Char(' '));
            };
            if (detailFile)
                it.description = line({QStringLiteral("编号%1的明细").arg(q.value(r, 7)), q.value(r, 8),
                                       QStringLiteral("金额") + q.value(r, 9)});
            else if (it.kind == bookKind())
                it.description = QStringLiteral("%1，连同 %2 条收支记录").arg(it.book, q.value(r, 5));
            else
                it.description = line({q.value(r, 7), q.value(r, 8), q.value(r, 9), q.value(r, 10),
                                       QStringLiteral("总额") + q.value(r, 11)});
            out << it;
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Item &a, const Item &b) {
        if (a.deletedMs != b.deletedMs)
            return a.deletedMs > b.deletedMs;
        return a.id > b.id;
    });
    return out;
}

Outcome restore(TDataModule2 &dm, const Item &it)
{
    Outcome out;
    const Params h = item(it.id);
    if (it.detailFile) {
        Connection &c = dm.conn_jz_u;
        Connection::Transaction t(c);
        c.exec(QStringLiteral("insert into jz_ua (%1) select %1 from jz_hs_ua where hsid = :h").arg(text(kLineColumns)), h);
        dropItem(c, it.id, kDetailRows);
        t.commit();
        if (dm.Query_jz_ua->isOpen())
            dm.Query_jz_ua->reopen();
        out.restored = true;
        return out;
    }
    Connection &c = dm.conn_jz_m;
    BookCache &cache = BookCache::of(dm);
    if (it.kind == bookKind()) {
        const QString key = firstValue(c, QStringLiteral("select hs7 from jz_hs where hsid = :h"), h);
        bool current = false;
        {
            BookCache::OtherWrite write(cache);
            Connection::Transaction t(c);
            // Exactly one book stays current: the book comes back current only when none is.
            c.exec(QStringLiteral("insert into jz_aa (aid, a1, a2, a3, a6) select aid, a1, a2, a3, "
                                  "case when exists (select 1 from jz_aa where a6 = '1') then '0' else a6 end "
                                  "from jz_hs_aa where hsid = :h"),
                   h);
            c.exec(QStringLiteral("insert into jz_ab (%1) select %1 from jz_hs_ab where hsid = :h").arg(text(kEntryColumns)), h);
            current = firstValue(c, QStringLiteral("select a6 from jz_aa where cast(aid as text) = :k"),
                                 {{QStringLiteral(":k"), key}})
                      == QLatin1String("1");
            dropItem(c, it.id, kLedgerRows);
            t.commit();
            write.done();
        }
        // Rows in memory under the restored key would miss its entries.
        if (cache.isCurrent(key))
            cache.drop();
        if (current) {
            if (dm.Query_jz_aa->isOpen())
                dm.Query_jz_aa->reopen();
            BookRefresh::full(dm);
        } else {
            showLedger(dm, true);
        }
        out.restored = true;
        return out;
    }
    // An entry: its book must be there.
    Query copy(&c, QStringLiteral("binEntry"));
    copy.setSql(QStringLiteral("select bid, b14 from jz_hs_ab where hsid = :h"));
    copy.bind(QStringLiteral(":h"), QString::number(it.id));
    copy.open();
    if (copy.isEmpty())
        throw DbError(QStringLiteral("回收站中的这一项已不完整，无法恢复。"));
    const QString bid = copy.value(0, 0);
    const QString key = copy.value(0, 1);
    if (firstValue(c, QStringLiteral("select count(*) from jz_aa where cast(aid as text) = :k"),
                      {{QStringLiteral(":k"), key}})
               == QLatin1String("0")) {
        Query book(&c, QStringLiteral("binBook"));
        book.setSql(QStringLiteral("select hsid, hs2, hs5 from jz_hs where hs1 = :kind and hs7 = :k order by hsid desc"));
        book.bind(QStringLiteral(":kind"), bookKind());
        book.bind(QStringLiteral(":k"), key);
        book.open();
        const QString name = book.isEmpty() ? (it.book.isEmpty() ? key : it.book) : book.value(0, 2);
        if (book.isEmpty()) {
            out.refusal = QStringLiteral("此记录所属的账本“%1”已不存在，无法恢复。").arg(name);
        } else {
            out.bookItem = book.value(0, 0).toLongLong();
            out.refusal = QStringLiteral("此记录所属的账本“%1”已被删除，无法单独恢复。\n"
                                         "请先恢复回收站中 %2 删除的账本“%1”。")
                              .arg(name, book.value(0, 1));
        }
        return out;
    }
    {
        BookCache::EntryWrite write(cache);
        Connection::Transaction t(c);
        c.exec(QStringLiteral("insert into jz_ab (%1) select %1 from jz_hs_ab where hsid = :h").arg(text(kEntryColumns)), h);
        dropItem(c, it.id, kLedgerRows);
        t.commit();
        write.done(bid, 2);
    }
    showLedger(dm, false);
    out.restored = true;
    return out;
}

void purge(TDataModule2 &dm, const Item &it)
{
    if (it.detailFile) {
        Connection &c = dm.conn_jz_u;
        Connection::Transaction t(c);
        dropItem(c, it.id, kDetailRows);
        t.commit();
        return;
    }
    BookCache::OtherWrite write(BookCache::of(dm));
    Connection::Transaction t(dm.conn_jz_m);
    dropItem(dm.conn_jz_m, it.id, kLedgerRows);
    t.commit();
    write.done();
}

int removeOlderThan(TDataModule2 &dm, int days)
{
    const Params cut{{QStringLiteral(":t"), QString::number(Clock::now().addDays(-days).toMSecsSinceEpoch())}};
    int removed = 0;
    for (const bool detailFile : {false, true}) {
        Connection &c = detailFile ? dm.conn_jz_u : dm.conn_jz_m;
        if (!hasBin(c))
            continue;
        std::unique_ptr<BookCache::OtherWrite> write;
        if (!detailFile)
            write = std::make_unique<BookCache::OtherWrite>(BookCache::of(dm));
        Connection::Transaction t(c);
        for (const QString &table : detailFile ? kDetailRows : kLedgerRows)
            c.exec(QStringLiteral("delete from %1 where hsid in (select hsid from jz_hs where hs3 < :t)").arg(table), cut);
        c.exec(QStringLiteral("delete from jz_hs where hs3 < :t"), cut);
        removed += c.changes();
        t.commit();
        if (write)
            write->done();
    }
    return removed;
}

} // namespace RecycleBin
