// The bin under the windows: the book held in memory stays trusted across the bin's own
// writes, and a restore that cannot finish leaves nothing half done.
#include <QtTest>
#include "test_support.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/recycle_bin.h"

namespace {

QStringList rows(Connection &c, const QString &sql)
{
    Query q(&c, QStringLiteral("probe"));
    q.setSql(sql);
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q.columnCount(); ++col)
            cells << (q.isNull(r, col) ? QStringLiteral("<null>") : q.value(r, col));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList listed(const Query *q)
{
    QStringList out;
    for (int r = 0; r < q->rowCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q->columnCount(); ++col)
            cells << (q->isNull(r, col) ? QStringLiteral("<null>") : q->value(r, col));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

void addEntries(TDataModule2 &dm, const QString &book, int n)
{
    for (int i = 0; i < n; ++i)
        dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b5,b6,b7,b14) values ('收入','2026-12- 1',:c,'1.10','1.10','0.00',:k)",
                          {{":c", QStringLiteral("s%1").arg(i)}, {":k", book}});
}

} // namespace

class TestRecycleBinData : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    // Deleting, restoring, purging and the clean-up change no entry of the book held in
    // memory behind its back, so it is not read again; it always lists what the file holds.
    void bookInMemoryFollows()
    {
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, "1", 5);
        BookRefresh::full(dm);
        BookCache &cache = BookCache::of(dm);
        QVERIFY(cache.isCurrent("1"));
        const QString engine = "select * from jz_ab where b14 = '1' order by bid desc";
        const QStringList before = rows(dm.conn_jz_m, engine);

        for (int i = 0; i < 2; ++i) {
            dm.Query_jz_ab->setCurrentRow(1);
            RecycleBin::deleteCurrentEntry(dm);   // the first one makes the bin's tables
            QVERIFY(cache.isCurrent("1"));
        }
        BookRefresh::rerunEntries(dm);
        QCOMPARE(listed(dm.Query_jz_ab), rows(dm.conn_jz_m, engine));
        QCOMPARE(dm.Query_jz_ab->rowCount(), 3);

        const QList<RecycleBin::Item> items = RecycleBin::items(dm);
        QCOMPARE(items.size(), 2);
        QVERIFY(RecycleBin::restore(dm, items[0]).restored);
        QVERIFY(cache.isCurrent("1"));
        RecycleBin::purge(dm, items[1]);
        QVERIFY(cache.isCurrent("1"));
        RecycleBin::removeOlderThan(dm, 0);
        QVERIFY(cache.isCurrent("1"));
        QCOMPARE(listed(dm.Query_jz_ab), rows(dm.conn_jz_m, engine));
        QCOMPARE(dm.Query_jz_ab->rowCount(), 4);
        // The restored entry is back as it was.
        for (const QString &row : listed(dm.Query_jz_ab))
            QVERIFY2(before.contains(row), qPrintable(row));
    }

    // A book whose restore fails half way (one of its numbers taken) stays in the bin,
    // and neither the book nor any of its entries is back.
    void restoreIsAllOrNothing()
    {
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        dm.conn_jz_m.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (2,'旅行','2026-1-1','','0')");
        addEntries(dm, "2", 3);
        const QStringList entries = rows(dm.conn_jz_m, "select * from jz_ab order by bid");
        {
            Connection::Transaction t(dm.conn_jz_m);
            RecycleBin::keepBook(dm, "2");
            dm.conn_jz_m.exec("delete from jz_ab where b14 = '2'");
            dm.conn_jz_m.exec("delete from jz_aa where aid = 2");
            t.commit();
        }
        // Nothing the program does takes a number twice; a foreign write might.
        dm.conn_jz_m.exec("insert into jz_ab (bid,b1,b14) values (3,'收入','1')");
        const RecycleBin::Item item = RecycleBin::items(dm).value(0);
        QCOMPARE(item.kind, QString("账本"));
        QVERIFY_THROWS_EXCEPTION(DbError, RecycleBin::restore(dm, item));
        QCOMPARE(rows(dm.conn_jz_m, "select count(*) from jz_aa where aid = 2"), QStringList{"0"});
        QCOMPARE(rows(dm.conn_jz_m, "select count(*) from jz_ab where b14 = '2'"), QStringList{"0"});
        QCOMPARE(RecycleBin::items(dm).size(), 1);
        dm.conn_jz_m.exec("delete from jz_ab where bid = 3");
        QVERIFY(RecycleBin::restore(dm, item).restored);
        QCOMPARE(rows(dm.conn_jz_m, "select * from jz_ab order by bid"), entries);
        QCOMPARE(rows(dm.conn_jz_m, "select aid, a1, a6 from jz_aa where aid = 2"), QStringList{"2|旅行|0"});
    }
};

QTEST_MAIN(TestRecycleBinData)
#include "tst_recycle_bin.moc"
