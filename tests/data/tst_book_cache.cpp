// The book held in memory against the engine: whatever the entry list and the six totals
// show after any sequence of listings, searches, sorts, saves, edits, deletes, switches
// and changes behind the program's back must equal what the statements give when run
// on the engine directly.
#include <QtTest>
#include <QRandomGenerator>
#include <numeric>
#include <sqlcipher/sqlite3.h>
#include "test_support.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/schema.h"

using testsupport::initCoreApplication;
using Folder = testsupport::DataFolder;

namespace {

const char *const kAmounts[] = {"b5", "b6", "b7", "b8", "b9", "b10"};

// Texts as other tools may have written them: odd numbers, wildcards, mixed case, text
// beyond ASCII, malformed UTF-8, a zero byte inside, NULL. SQL expressions.
const QStringList kValues = {
    "'收入'", "'支出'", "'收'", "'ABC'", "'abc'", "'aBc'", "'a%b'", "'a_b'", "'a\\b'", "'%'", "'_'", "''",
    "NULL", "'1e3'", "' 12 '", "'12abc'", "'-0.5'", "'100.00'", "'20.00'", "'0.1'", "'Ü'", "'ü'",
    "char(128)||'x'", "char(19968)||'x'", "cast(x'c0af78' as text)", "cast(x'e4b8' as text)",
    "cast(x'610062' as text)", "cast(x'efbbbf41' as text)", "char(65535)", "char(65533)",
    "'摘要1'", "'摘要12'", "'单位名称'", "'O''Neil'", "'2026-12- 1'", "'2001-01-01'", "'-0'", "'0'", "'inf'", "'nan'",
    "'123456789012345'", "'1234567890123456'", "'0.000000000000000000001'", "'+5'", "'5.'", "'.5'",
    "'00012.50'", "'-123.456'", "'99999999.99'", "'0.3'", "'2.675'",
    "'2001-01-01 12:30:00'", "'2001-01-01 12:30:01'", "'2001-01-01 12:30'", "'a'", "cast(x'6100' as text)",
};

// Phrases as the boxes give them (made into literal contains-patterns) ...
const QStringList kPhrases = {
    "", "收入", "支出", "abc", "ABC", "a%b", "a_b", "%", "_", "\\", "a\\b", "Ü", "ü", "\u0080x", "x", "摘要1",
    "\uFFFD", "\uFFFF", "O'Neil", "1", "b",
};
// ... and raw patterns, for the matcher itself.
const QStringList kPatterns = {
    "%", "%%", "", "_", "%_%", "a%", "%b", "a_b", "%a\\_b%", "\\", "%\\", "%\\%%", "_%_", "%A%B%", "%x",
    "%\u0080x%", "%一x%", "收%", "%\uFFFD%", "%\\\\%",
};

QString containsPattern(const QString &phrase)
{
    QString escaped;
    for (const QChar c : phrase) {
        if (c == '\\' || c == '%' || c == '_')
            escaped += '\\';
        escaped += c;
    }
    return '%' + escaped + '%';
}

// Every cell of a query as text, with NULL kept apart.
QStringList dump(const Query &q)
{
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < q.columnCount(); ++c)
            row << (q.isNull(r, c) ? QStringLiteral("<NULL>") : q.value(r, c));
        out << row.join(QChar(0x1f));
    }
    return out;
}

struct Sort {
    QString field;
    Qt::SortOrder order;
    Query::SortKind kind;
};

struct Bench {
    Folder folder;
    std::unique_ptr<TDataModule2> dm;
    QRandomGenerator rng;
    QList<Sort> sorts;   // since the entry list was last opened

    explicit Bench(quint32 seed) : dm(new TDataModule2(folder.path())), rng(seed)
    {
        Connection &c = dm->conn_jz_m;
        c.exec("insert into jz_aa (a1,a2,a3,a6) values ('十二','','','0')");   // aid 2
        c.exec("update jz_aa set aid = 12 where aid = 2");
        c.exec("insert into jz_aa (a1,a2,a3,a6) values ('二','','','0')");   // aid 13
        for (int i = 0; i < 120; ++i)
            insertRandom(pick({"1", "12", "13", "1"}));
        BookRefresh::full(*dm);
    }
    QString pick(const QStringList &from) { return from[int(rng.bounded(quint32(from.size())))]; }
    QString value() { return pick(kValues); }
    void insertRandom(const QString &book)
    {
        QStringList v;
        for (int i = 0; i < 10; ++i)
            v << value();
        dm->conn_jz_m.exec(QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b14) values (%1,'%2')")
                               .arg(v.join(','), book));
    }
    QString key() { return BookRefresh::bookKey(*dm); }

    // A cell's bytes as the engine gives them (malformed UTF-8 included).
    std::pair<bool, QByteArray> rawCell(const QString &bid, const QString &field)
    {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = QStringLiteral("select %1 from jz_ab where bid = ?").arg(field).toUtf8();
        sqlite3_prepare_v2(dm->conn_jz_m.handle(), sql.constData(), -1, &st, nullptr);
        sqlite3_bind_int64(st, 1, bid.toLongLong());
        std::pair<bool, QByteArray> out{true, QByteArray()};
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
            out = {false, QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)),
                                     sqlite3_column_bytes(st, 0))};
        sqlite3_finalize(st);
        return out;
    }

    // The engine's own answer for the entry list's statement, then the sorts since it was
    // opened, each a stable sort of the rows as they stood: NULL first, text by its bytes,
    // numbers by their value after the texts that are none.
    QStringList expectedEntries()
    {
        Query *q = dm->Query_jz_ab;
        Query e(&dm->conn_jz_m, "expected");
        e.setSql(q->sql());
        for (const auto &p : q->params())
            e.bind(p.first, p.second);
        e.open();
        const QStringList rows = dump(e);
        std::vector<int> order(size_t(rows.size()));
        std::iota(order.begin(), order.end(), 0);
        for (const Sort &s : sorts) {
            const size_t n = order.size();
            std::vector<std::pair<bool, QByteArray>> cells(n);
            for (size_t i = 0; i < n; ++i)
                cells[i] = rawCell(e.value(order[i], "bid"), s.field);
            std::vector<int> idx(n);
            std::iota(idx.begin(), idx.end(), 0);
            const bool desc = s.order == Qt::DescendingOrder;
            if (s.kind == Query::SortKind::Number) {
                std::vector<std::pair<int, double>> keys(n);
                for (size_t i = 0; i < n; ++i) {
                    bool ok = false;
                    const double d = cells[i].second.trimmed().toDouble(&ok);
                    keys[i] = cells[i].first ? std::make_pair(0, 0.0) : ok ? std::make_pair(2, d) : std::make_pair(1, 0.0);
                }
                std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) {
                    return desc ? keys[size_t(b)] < keys[size_t(a)] : keys[size_t(a)] < keys[size_t(b)];
                });
            } else {
                auto less = [&](int a, int b) {
                    const auto &x = cells[size_t(a)], &y = cells[size_t(b)];
                    return x.first != y.first ? x.first : x.second < y.second;
                };
                std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) { return desc ? less(b, a) : less(a, b); });
            }
            std::vector<int> next(n);
            for (size_t i = 0; i < n; ++i)
                next[i] = order[size_t(idx[i])];
            order = next;
        }
        QStringList out;
        for (const int r : order)
            out << rows[r];
        return out;
    }
    // A sum the engine refuses fails the whole step.
    QStringList expectedTotals()
    {
        QStringList out;
        for (const char *col : kAmounts) {
            Query e(&dm->conn_jz_m, "sum");
            e.setSql(QStringLiteral("select sum(%1) from jz_ab where b14 = :key").arg(QLatin1String(col)));
            e.bind(":key", key());
            try {
                e.open();
                out << (e.isNull(0, 0) ? QStringLiteral("<NULL>") : e.value(0, 0));
            } catch (const DbError &) {
                return QStringList(6, QStringLiteral("<error>"));
            }
        }
        return out;
    }
    QStringList shownTotals()
    {
        QStringList out;
        for (int i = 0; i < 6; ++i) {
            const Query *q = dm->totalQuery(i);
            out << (!q->isOpen() ? QStringLiteral("<error>")
                    : q->isNull(0, 0) ? QStringLiteral("<NULL>") : q->value(0, 0));
        }
        return out;
    }
    // Steps 2 and 3 of the book refresh, as "刷新" runs them.
    void refresh()
    {
        sorts.clear();
        BookRefresh::loadEntries(*dm);
        totals();
    }
    void totals()
    {
        try {
            BookRefresh::loadTotals(*dm);
        } catch (const DbError &) {
            for (int i = 0; i < 6; ++i)
                dm->totalQuery(i)->close();
        }
    }
    void search(const QString &kind, const QString &summary, const QString &party)
    {
        Query *q = dm->Query_jz_ab;
        q->close();
        q->setSql(BookRefresh::searchSql());
        q->bind(":kind", kind);
        q->bind(":summary", summary);
        q->bind(":party", party);
        q->bind(":key", key());
        sorts.clear();
        BookRefresh::openEntries(*dm);
    }
    // A summary page's list: the entries of one kind, on a query of its own.
    void kindList(Query &page, const QString &kind)
    {
        page.close();
        page.setSql(BookRefresh::kindSql());
        page.bind(":kind", kind);
        page.bind(":key", key());
        BookRefresh::openBookQuery(*dm, &page);
        Query e(&dm->conn_jz_m, "expected");
        e.setSql(BookRefresh::kindSql());
        e.bind(":kind", kind);
        e.bind(":key", key());
        e.open();
        QCOMPARE(dump(page), dump(e));
    }
    QString randomPattern() { return rng.bounded(3) == 0 ? pick(kPatterns) : containsPattern(pick(kPhrases)); }
    void sort()
    {
        static const char *const fields[] = {"bid", "b1", "b2", "b3", "b4", "b5", "b8", "b10"};
        const Sort s{QString::fromLatin1(fields[rng.bounded(8)]),
                     rng.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder,
                     rng.bounded(2) ? Query::SortKind::Number : Query::SortKind::Text};
        dm->Query_jz_ab->sort(s.field, s.order, s.kind);
        sorts << s;
    }
    // What a dialog's "保  存" does to the entry list and the totals.
    void save(bool edit)
    {
        Connection &c = dm->conn_jz_m;
        Query *q = dm->Query_jz_ab;
        if (edit && q->isEmpty())
            return;
        {
            BookCache::EntryWrite write(BookCache::of(*dm));
            if (edit) {
                const QString bid = q->value(int(rng.bounded(quint32(q->rowCount()))), "bid");
                c.exec(QStringLiteral("update jz_ab set b3=%1,b4=%2,b2=%3,b5=%4,b6=%5,b7=%6 where bid=%7")
                           .arg(value(), value(), value(), value(), value(), value(), bid));
                write.done(bid);
            } else {
                c.exec(QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (%1,%2,%3,%4,%5,%6,%7,:k)")
                           .arg(value(), value(), value(), value(), value(), value(), value()),
                       {{":k", rng.bounded(5) ? key() : QStringLiteral("12")}});
                write.done(QString::number(c.lastInsertId()));
            }
        }
        sorts.clear();
        BookRefresh::rerunEntries(*dm);
        totals();
    }
    // "删除选中" and the refresh after it.
    void remove()
    {
        Query *q = dm->Query_jz_ab;
        if (q->isEmpty())
            return;
        q->setCurrentRow(int(rng.bounded(quint32(q->rowCount()))));
        {
            BookCache::EntryWrite write(BookCache::of(*dm));
            const QString bid = q->field("bid");
            q->deleteCurrentRow();
            write.done(bid);
        }
        refresh();
    }
    void switchBook()
    {
        const QString to = pick({"1", "12", "13"});
        dm->conn_jz_m.exec("update jz_aa set a6 = case when aid = :k then '1' else '0' end", {{":k", to}});
        sorts.clear();
        BookRefresh::full(*dm);
    }
    // Changes the program does not announce: its own connection, then another one.
    void changeBehind(bool otherConnection)
    {
        const QString sql = QStringLiteral("update jz_ab set b5 = %1, b1 = %2 where bid in "
                                           "(select bid from jz_ab where b14 = '%3' order by random() limit 2)")
                                .arg(value(), value(), key());
        if (!otherConnection) {
            dm->conn_jz_m.exec(sql);
            return;
        }
        Connection other("other");
        other.open(dm->conn_jz_m.path(), Schema::ledger().password);
        other.exec(sql);
        other.close();
    }
};

#define COMPARE_STATE(b, what)                                                                          \
    do {                                                                                                \
        const QStringList shown = dump(*(b).dm->Query_jz_ab), expected = (b).expectedEntries();        \
        if (shown != expected)                                                                          \
            qWarning().noquote() << "after" << (what) << "\nshown:" << shown << "\nexpected:" << expected; \
        QCOMPARE(shown, expected);                                                                      \
        QCOMPARE((b).shownTotals(), (b).expectedTotals());                                             \
    } while (0)

} // namespace

class TestBookCache : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initCoreApplication(); }

    // Every pattern against every value, through the search of the entry list.
    void searchMatchesTheEngineForEveryPattern()
    {
        Bench b(7);
        Connection &c = b.dm->conn_jz_m;
        for (const QString &v : kValues)
            c.exec(QStringLiteral("insert into jz_ab (b1,b3,b4,b14) values ('x',%1,%1,'1')").arg(v));
        b.refresh();
        QStringList patterns = kPatterns;
        for (const QString &p : kPhrases)
            patterns << containsPattern(p);
        for (const QString &p : patterns) {
            b.search("%%", p, "%");
            COMPARE_STATE(b, p);
            b.search(p, "%%", p);
            COMPARE_STATE(b, p);
        }
    }

    void randomActionsMatchTheEngine_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u, 5u, 6u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    void randomActionsMatchTheEngine()
    {
        QFETCH(quint32, seed);
        Bench b(seed);
        COMPARE_STATE(b, "start");
        for (int step = 0; step < 150; ++step) {
            QString what;
            switch (b.rng.bounded(13)) {
            case 0: what = "refresh"; b.refresh(); break;
            case 1: case 2: {
                const QString k = b.rng.bounded(2) ? containsPattern(b.pick({"", "收入", "支出", "收"})) : b.randomPattern();
                const QString s = b.randomPattern(), p = b.randomPattern();
                what = "search " + k + " " + s + " " + p;
                b.search(k, s, p);
                break;
            }
            case 3: case 4: b.sort(); what = "sort " + b.sorts.last().field + (b.sorts.last().order == Qt::AscendingOrder ? " asc" : " desc") + (b.sorts.last().kind == Query::SortKind::Number ? " number" : " text"); break;
            case 5: what = "save new"; b.save(false); break;
            case 6: what = "save edit"; b.save(true); break;
            case 7: what = "delete"; b.remove(); break;
            case 8: what = "switch"; b.switchBook(); break;
            case 12: {
                Query page(&b.dm->conn_jz_m, "page");
                b.kindList(page, b.rng.bounded(2) ? containsPattern(b.pick({"收入", "支出"})) : b.randomPattern());
                break;
            }
            case 9: what = "rerun"; b.sorts.clear(); BookRefresh::rerunEntries(*b.dm); b.totals(); break;
            case 10: what = "change behind"; b.changeBehind(false); b.refresh(); break;
            case 11: what = "change by another connection"; b.changeBehind(true); b.refresh(); break;
            }
            COMPARE_STATE(b, what);
        }
    }

    // A write announced as one entry that changed something else leaves nothing stale.
    void unexpectedChangesDropTheRows()
    {
        Bench b(11);
        Connection &c = b.dm->conn_jz_m;
        Query *q = b.dm->Query_jz_ab;
        const QString bid = q->value(0, "bid");
        {
            BookCache::EntryWrite write(BookCache::of(*b.dm));
            c.exec("update jz_ab set b3 = 'both' where b14 = :k", {{":k", b.key()}});
            write.done(bid);
        }
        b.refresh();
        COMPARE_STATE(b, "two rows changed");
        {
            BookCache::EntryWrite write(BookCache::of(*b.dm));
            c.exec("begin");
            c.exec("update jz_ab set b3 = 'rolled back' where bid = :b", {{":b", bid}});
            write.done(bid);
            c.exec("rollback");
        }
        b.refresh();
        COMPARE_STATE(b, "inside a transaction");
        // Rows listed while a transaction is open are not trusted after it.
        c.exec("begin");
        c.exec("update jz_ab set b3 = 'listed, then rolled back' where bid = :b", {{":b", bid}});
        b.refresh();
        COMPARE_STATE(b, "listed inside a transaction");
        c.exec("rollback");
        b.refresh();
        COMPARE_STATE(b, "after the rollback");
        {
            BookCache::EntryWrite write(BookCache::of(*b.dm));
            c.exec("update jz_ab set b3 = 'no done' where bid = :b", {{":b", bid}});
        }
        b.refresh();
        COMPARE_STATE(b, "write without done");
    }

    void sumBeyondRangeIsTheEnginesError()
    {
        Bench b(13);
        b.dm->conn_jz_m.exec("insert into jz_ab (b1,b8,b14) values ('支出','9e999','1')");
        b.refresh();
        COMPARE_STATE(b, "beyond range");
        QCOMPARE(b.shownTotals()[3], QStringLiteral("<error>"));
        b.dm->conn_jz_m.exec("delete from jz_ab where b8 = '9e999'");
        b.refresh();
        COMPARE_STATE(b, "back in range");
    }

    // A book larger than a block of rows in memory.
    void largeBookMatchesTheEngine()
    {
        Bench b(15);
        {
            Connection::Transaction t(b.dm->conn_jz_m);
            for (int i = 0; i < 9000; ++i)
                b.insertRandom("1");
            t.commit();
        }
        b.refresh();
        COMPARE_STATE(b, "large");
        // Answered from memory, not by the engine.
        QVERIFY(BookCache::of(*b.dm).isCurrent(b.key()));
        QVERIFY(!b.dm->Query_jz_ab->readsOnDemand());
        b.search(containsPattern("收"), "%", containsPattern("a"));
        COMPARE_STATE(b, "large searched");
        b.refresh();
        b.dm->Query_jz_ab->sort("b3", Qt::AscendingOrder, Query::SortKind::Text);
        b.sorts << Sort{"b3", Qt::AscendingOrder, Query::SortKind::Text};
        b.dm->Query_jz_ab->sort("b5", Qt::DescendingOrder, Query::SortKind::Number);
        b.sorts << Sort{"b5", Qt::DescendingOrder, Query::SortKind::Number};
        COMPARE_STATE(b, "large sorted");
        for (int i = 0; i < 3; ++i) {
            b.save(i == 1);
            COMPARE_STATE(b, "large saved");
            QVERIFY(BookCache::of(*b.dm).isCurrent(b.key()));
            b.remove();
            COMPARE_STATE(b, "large deleted");
        }
    }

    // An entry too long for the rows in memory: the engine answers for that book.
    void longEntryIsLeftToTheEngine()
    {
        Bench b(14);
        b.dm->conn_jz_m.exec("insert into jz_ab (b1,b3,b5,b14) values ('收入',:t,'1.5','1')",
                             {{":t", QString(70000, QChar('x'))}});
        b.refresh();
        COMPARE_STATE(b, "long entry");
        b.search("%%", "%x%", "%");
        COMPARE_STATE(b, "long entry searched");
        b.save(false);
        COMPARE_STATE(b, "long entry, saved beside");
    }

    // Deferred, the book is listed and totalled by the engine; once allowed, the same rows
    // come from memory.
    void deferredLoadLeavesTheBookToTheEngine()
    {
        Bench b(16);
        BookCache &cache = BookCache::of(*b.dm);
        cache.drop();
        cache.setLoadDeferred(true);
        b.refresh();
        QVERIFY(!cache.isCurrent(BookRefresh::bookKey(*b.dm)));
        COMPARE_STATE(b, "deferred");
        b.search("%", "%1%", "%");
        COMPARE_STATE(b, "deferred search");
        cache.setLoadDeferred(false);
        b.refresh();
        QVERIFY(cache.isCurrent(BookRefresh::bookKey(*b.dm)));
        COMPARE_STATE(b, "held");
    }

    // A restored file comes back under a connection opened afresh.
    void reopenedFileIsReadAgain()
    {
        Bench b(12);
        Connection &c = b.dm->conn_jz_m;
        const QString path = c.path();
        c.close();
        {
            Connection other("other");
            other.open(path, Schema::ledger().password);
            other.exec("update jz_ab set b5 = '777' where b14 = '1'");
            other.close();
        }
        c.open(path, Schema::ledger().password);
        b.refresh();
        COMPARE_STATE(b, "reopened");
    }
};

QTEST_GUILESS_MAIN(TestBookCache)
#include "tst_book_cache.moc"
