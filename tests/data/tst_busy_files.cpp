// Another process holding a database file: statements wait a moment, then fail with a
// message that says so; models over the file never throw and report once.
#include <QtTest>
#include <sqlcipher/sqlite3.h>
#include <thread>
#include "test_support.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/query_model.h"
#include "data/schema.h"

using Folder = testsupport::DataFolder;

namespace {

// A second connection that holds the file exclusively: nobody else may read or write it.
class Holder
{
public:
    Holder(const QString &path, const QByteArray &key) : m_conn(QStringLiteral("holder"))
    {
        m_conn.open(path, key);
        m_conn.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    void release() { m_conn.exec(QStringLiteral("ROLLBACK")); }

private:
    Connection m_conn;
};

// Counts the engine's calls for a busy file, failing at once, so a test sees how often
// a file was asked for without waiting for it.
int g_busyCalls = 0;
int countBusy(void *, int)
{
    ++g_busyCalls;
    return 0;
}

void addEntries(TDataModule2 &dm, int n)
{
    Connection::Transaction t(dm.conn_jz_m);
    for (int i = 1; i <= n; ++i)
        dm.conn_jz_m.exec("insert into jz_ab (b1,b3,b5,b14) values ('收入',:s,'1.00','1')",
                          {{":s", QStringLiteral("s%1").arg(i)}});
    t.commit();
}

} // namespace

class TestBusyFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    // A lock held for a moment (well within the busy timeout) makes a save wait, not fail.
    void briefLockIsWaitedFor()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        Holder holder(folder.file(Schema::ledger().fileName), Schema::ledger().password);
        std::thread releaser([&holder] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            holder.release();
        });
        try {
            dm.conn_jz_m.exec("insert into jz_ab (b1,b5,b14) values ('收入','1.00','1')");
        } catch (const DbError &e) {
            releaser.join();
            QFAIL(qPrintable(e.text()));
        }
        releaser.join();
        BookRefresh::full(dm);
        QCOMPARE(dm.Query_jz_ab->rowCount(), 1);
    }

    // A lock held longer fails the statement with a message naming the file; nothing changes.
    void heldFileSaysSo_data()
    {
        QTest::addColumn<int>("file");
        QTest::newRow("ledger") << 0;
        QTest::newRow("phrases") << 1;
        QTest::newRow("details") << 2;
    }
    void heldFileSaysSo()
    {
        QFETCH(int, file);
        Folder folder;
        TDataModule2 dm(folder.path());
        const Schema::DataFile held = Schema::all()[file];
        Connection *conn = QList<Connection *>{&dm.conn_jz_m, &dm.conn_jz_f, &dm.conn_jz_u}[file];
        const QString write = QStringList{"insert into jz_ab (b1,b14) values ('收入','1')",
                                          "insert into a1 (z1) values ('x')",
                                          "insert into jz_ua (ua1,ua6) values ('x','1')"}[file];
        conn->setBusyTimeout(100);
        Holder holder(folder.file(held.fileName), held.password);
        for (const QString &sql : {write, QStringLiteral("select count(*) from sqlite_master")}) {
            try {
                conn->exec(sql);
                QFAIL("the statement went through a held file");
            } catch (const DbError &e) {
                QVERIFY2(e.text().contains(held.fileName) && e.text().contains("占用"), qPrintable(e.text()));
                QVERIFY2(e.text().contains("database is locked"), qPrintable(e.text()));
            }
        }
        holder.release();
        conn->exec(write);
        QCOMPARE(conn->changes(), 1);
    }

    // Painting a grid over rows read on demand while the file is held: cells show empty,
    // the file is asked once and not again for every cell, the failure is reported once,
    // and the rows come back once the file is free.
    void gridReadsShowEmptyAndReportOnce()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 400);
        BookRefresh::full(dm);
        dm.Query_jz_ab->reopen();   // run by its statement: values read when shown
        QueryModel model(dm.Query_jz_ab, {{"bid", "编号"}, {"b3", "摘要"}});
        QSignalSpy failed(&model, &QueryModel::failed);
        QCOMPARE(model.index(0, 1).data().toString(), QString("s400"));

        Holder holder(folder.file(Schema::ledger().fileName), Schema::ledger().password);
        sqlite3_busy_handler(dm.conn_jz_m.handle(), countBusy, nullptr);
        g_busyCalls = 0;
        for (int r = 100; r < 300; ++r) {
            QCOMPARE(model.index(r, 1).data().toString(), QString());
            QCOMPARE(model.index(r, 0).data().toString(), QString::number(400 - r));   // keys are in memory
        }
        QCOMPARE(model.index(0, 1).data().toString(), QString("s400"));               // so are rows read before
        QCOMPARE(g_busyCalls, 1);
        QCOMPARE(failed.count(), 0);   // never from inside painting
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY2(failed[0][0].toString().contains(Schema::ledger().fileName), qPrintable(failed[0][0].toString()));

        // Asking again while still held: empty again, no second report.
        model.retryReads();
        QCOMPARE(model.index(150, 1).data().toString(), QString());
        QTest::qWait(20);
        QCOMPARE(failed.count(), 1);

        holder.release();
        QCOMPARE(model.index(200, 1).data().toString(), QString());   // not asked until retried
        model.retryReads();
        QCOMPARE(model.index(200, 1).data().toString(), QString("s200"));
        QCOMPARE(model.index(299, 1).data().toString(), QString("s101"));
        QTest::qWait(20);
        QCOMPARE(failed.count(), 1);
    }

    // An in-place change that cannot be written is refused and reported; the change that
    // was pending stays pending and is written once the file is free.
    void inPlaceCommitOnHeldFileKeepsTheEdit()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        for (const char *p : {"甲", "乙"})
            dm.conn_jz_f.exec("insert into a1 (z1) values (:a)", {{":a", p}});
        Query *q = dm.Query_jz_a1;
        q->reopen();
        QueryModel model(q, {{"z1", "菜单项"}});
        model.setEditable(true);
        QSignalSpy failed(&model, &QueryModel::failed);
        QVERIFY(model.setData(model.index(0, 0), "乙改", Qt::EditRole));
        QCOMPARE(q->pendingRow(), 0);

        dm.conn_jz_f.setBusyTimeout(50);
        Holder holder(folder.file(Schema::phrases().fileName), Schema::phrases().password);
        // Moving on to the next row writes the pending one first: that fails.
        QVERIFY(!model.setData(model.index(1, 0), "甲改", Qt::EditRole));
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY2(failed[0][0].toString().contains("占用"), qPrintable(failed[0][0].toString()));
        QCOMPARE(q->pendingRow(), 0);
        QCOMPARE(model.index(0, 0).data().toString(), QString("乙改"));
        QCOMPARE(model.index(1, 0).data().toString(), QString("甲"));

        holder.release();
        QVERIFY(model.setData(model.index(1, 0), "甲改", Qt::EditRole));
        q->post();
        q->reopen();
        QCOMPARE(q->value(0, "z1"), QString("乙改"));
        QCOMPARE(q->value(1, "z1"), QString("甲改"));
    }

    // A sort that has to read the file fails as a whole: the order and the current row stay.
    void sortOnHeldFileChangesNothing()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 50);
        BookRefresh::full(dm);
        Query *q = dm.Query_jz_ab;
        q->reopen();   // run by its statement: a sort reads the column from the file
        q->setCurrentRow(7);
        dm.conn_jz_m.setBusyTimeout(50);
        Holder holder(folder.file(Schema::ledger().fileName), Schema::ledger().password);
        QVERIFY_THROWS_EXCEPTION(DbError, q->sort("b3", Qt::AscendingOrder, Query::SortKind::Text));
        QCOMPARE(q->currentRow(), 7);
        QCOMPARE(q->value(0, "bid"), QString("50"));
        QVERIFY(q->sortField().isEmpty());
        holder.release();
        q->sort("b3", Qt::AscendingOrder, Query::SortKind::Text);
        QCOMPARE(q->value(0, "b3"), QString("s1"));
    }

    // The book listed from its rows in memory shows and sorts them while the file is held;
    // what must ask the file (a new listing) fails with the engine's message and leaves the
    // list closed, as a statement run on a held file does.
    void bookInMemoryWhileTheFileIsHeld()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 50);
        BookRefresh::full(dm);
        Query *q = dm.Query_jz_ab;
        dm.conn_jz_m.setBusyTimeout(50);
        Holder holder(folder.file(Schema::ledger().fileName), Schema::ledger().password);
        q->sort("b3", Qt::AscendingOrder, Query::SortKind::Text);
        QCOMPARE(q->value(0, "b3"), QString("s1"));
        QCOMPARE(q->value(49, "b3"), QString("s9"));
        QVERIFY_THROWS_EXCEPTION(DbError, BookRefresh::loadEntries(dm));
        QVERIFY(!q->isOpen());
        holder.release();
        BookRefresh::loadEntries(dm);
        QCOMPARE(q->rowCount(), 50);
        QCOMPARE(q->value(0, "bid"), QString("50"));
    }
};

QTEST_GUILESS_MAIN(TestBusyFiles)
#include "tst_busy_files.moc"
