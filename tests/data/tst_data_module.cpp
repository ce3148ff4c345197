#include <QtTest>
#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include "test_support.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/schema.h"
#include "data/upgrade.h"
#include "data/data_folder.h"
#include <sqlcipher/sqlite3.h>

using testsupport::initCoreApplication;
using Folder = testsupport::DataFolder;

namespace {

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void addEntry(TDataModule2 &dm, const QString &kind, const QString &book, const QString &total,
              const QString &settled, const QString &outstanding)
{
    const bool income = kind == QStringLiteral("收入");
    const QString sql = income
        ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)")
        : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)");
    dm.conn_jz_m.exec(sql, {{":a", kind}, {":b", "2026-12-10"}, {":c", "摘要"}, {":d", "单位"},
                            {":e", total}, {":f", settled}, {":g", outstanding}, {":h", book}});
}

QStringList totals(TDataModule2 &dm)
{
    QStringList out;
    for (int i = 0; i < 6; ++i)
        out << dm.totalQuery(i)->value(0, 0);
    return out;
}

} // namespace

class TestDataModule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initCoreApplication(); }

    void firstStartCreatesThreeEncryptedFiles()
    {
        Folder folder;
        {
            TDataModule2 dm(folder.path());
            QCOMPARE(dm.Query_jz_aa->rowCount(), 1);
            QCOMPARE(dm.Query_jz_aa->value(0, "aid"), QString("1"));
            QCOMPARE(dm.Query_jz_aa->value(0, "a6"), QString("1"));
            QCOMPARE(dm.Query_jz_ub->value(0, "ub3"), QString("8"));
            QCOMPARE(dm.Query_jz_ub->value(0, "ub2"), QString("0"));
            QCOMPARE(dm.Query_jz_ub->value(0, "ub4"), QString("0"));
        }
        const QList<Schema::DataFile> files = Schema::all();
        const QStringList tables{"jz_aa,jz_ab", "a1,a2", "jz_ua,jz_ub"};
        for (int i = 0; i < 3; ++i) {
            const QString path = folder.file(files[i].fileName);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            Connection good("x");
            good.open(path, files[i].password);
            for (const QString &t : tables[i].split(','))
                good.exec(QStringLiteral("select * from %1").arg(t));
            good.close();
            Connection bad("y");
            QVERIFY_THROWS_EXCEPTION(DbError, bad.open(path, QByteArray()));
            QVERIFY_THROWS_EXCEPTION(DbError, bad.open(path, files[(i + 1) % 3].password));
        }
        // Opening again uses the files as they are.
        TDataModule2 again(folder.path());
        QCOMPARE(again.Query_jz_aa->rowCount(), 1);
    }

    void keyWithQuotesAndNonAscii()
    {
        Folder folder;
        const QByteArray key = QStringLiteral("it's \"密码\"; --").toUtf8();
        Connection c("k");
        c.open(folder.file("k.db"), key, true);
        c.exec("create table t (x)");
        c.close();
        c.open(folder.file("k.db"), key);
        c.exec("select * from t");
        c.close();
        QVERIFY_THROWS_EXCEPTION(DbError, c.open(folder.file("k.db"), "it's"));
    }

    // Existing files open with a key derived outside the engine; it must be the key the
    // engine derives itself, for short, long (hashed first) and non-ASCII passwords.
    void derivedKeyIsTheEnginesKey_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("the ledger's") << Schema::ledger().password;
        QTest::newRow("quotes and Chinese") << QStringLiteral("it's \"密码\"; --").toUtf8();
        QTest::newRow("longer than a hash block") << QByteArray(100, 'p');
    }
    void derivedKeyIsTheEnginesKey()
    {
        QFETCH(QByteArray, password);
        Folder folder;
        const QString path = folder.file("k.db");
        {
            Connection c("k");
            c.open(path, password, true);
            c.exec("create table t (x)");
            c.exec("insert into t values ('kept')");
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray salt = f.read(16);
        f.close();
        QVERIFY(Connection::defaultKeyRounds() > 0);
        const QByteArray raw = "x'" + Connection::deriveFileKey(password, salt, Connection::defaultKeyRounds()).toHex() + "'";
        // The raw key alone, bypassing everything Connection::open might fall back on.
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_key(db, raw.constData(), raw.size()), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "select x from t", -1, &st, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))), QByteArray("kept"));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    void refusesBrokenFileSets_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("one file missing") << "missing";
        QTest::newRow("not a database") << "garbage";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("cut inside its last page") << "cut";
        QTest::newRow("cut in half") << "half";
    }
    void refusesBrokenFileSets()
    {
        QFETCH(QString, damage);
        Folder folder;
        { TDataModule2 dm(folder.path()); }
        const QString victim = folder.file(Schema::phrases().fileName);
        if (damage == "missing") {
            QFile::remove(victim);
        } else if (damage == "cut" || damage == "half") {
            QFile f(victim);
            QVERIFY(f.resize(damage == "cut" ? f.size() - 1 : f.size() / 2));
        } else {
            QFile f(victim);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == "garbage")
                f.write(QByteArray(4096, 'x'));
        }
        const QStringList names{Schema::ledger().fileName, Schema::phrases().fileName, Schema::details().fileName};
        QList<QByteArray> before;
        for (const QString &n : names)
            before << digest(folder.file(n));
        try {
            TDataModule2 dm(folder.path());
            QFAIL("opened a broken set");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(Schema::phrases().fileName), qPrintable(e.text()));
        }
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(digest(folder.file(names[i])), before[i]);
        QVERIFY(!QFile::exists(victim + ".new"));
    }

    // The files open side by side, yet a fault is told as if they opened one by one: the
    // first damaged file of the set is named, and no other, whether the opening began
    // ahead of the data module or within it.
    void damagedFilesAreToldInTheirOrder_data()
    {
        QTest::addColumn<QStringList>("damaged");
        QTest::addColumn<bool>("ahead");
        const QString m = Schema::ledger().fileName, f = Schema::phrases().fileName, u = Schema::details().fileName;
        QTest::newRow("ledger and details") << QStringList{m, u} << false;
        QTest::newRow("ledger and details, opened ahead") << QStringList{m, u} << true;
        QTest::newRow("phrases and details, opened ahead") << QStringList{f, u} << true;
        QTest::newRow("details, opened ahead") << QStringList{u} << true;
    }
    void damagedFilesAreToldInTheirOrder()
    {
        QFETCH(QStringList, damaged);
        QFETCH(bool, ahead);
        Folder folder;
        { TDataModule2 dm(folder.path()); }
        for (const QString &name : damaged) {
            QFile f(folder.file(name));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(4096, 'x'));
        }
        if (ahead)
            TDataModule2::beginOpening(folder.path());
        try {
            TDataModule2 dm(folder.path());
            QFAIL("opened a damaged set");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains("/" + damaged.first()), qPrintable(e.text()));
            QVERIFY2(e.text().contains(QStringLiteral("文件已损坏")), qPrintable(e.text()));
            for (const QString &other : damaged.mid(1))
                QVERIFY2(!e.text().contains(other), qPrintable(e.text()));
        }
    }

    // An opening begun for one folder is never taken over by a data module of another, and
    // the connections it hands over read and write as ones opened in place.
    void openingAheadServesItsOwnFolder()
    {
        Folder a, b;
        { TDataModule2 dm(a.path()); }
        {
            TDataModule2 dm(b.path());
            addEntry(dm, "收入", "1", "7.00", "7.00", "0.00");
        }
        TDataModule2::beginOpening(a.path());
        {
            TDataModule2 dm(b.path());
            QCOMPARE(dm.conn_jz_m.path(), b.file(Schema::ledger().fileName));
            BookRefresh::full(dm);
            QCOMPARE(dm.Query_jz_ab->rowCount(), 1);
        }
        TDataModule2::beginOpening(b.path());
        TDataModule2 dm(b.path());
        QCOMPARE(dm.conn_jz_f.path(), b.file(Schema::phrases().fileName));
        addEntry(dm, "支出", "1", "2.00", "2.00", "0.00");
        BookRefresh::full(dm);
        QCOMPARE(dm.Query_jz_ab->rowCount(), 2);
        QCOMPARE(dm.conn_jz_m.name(), QStringLiteral("conn_jz_m"));
        // Set up as a connection of that name opened in place would be.
        auto cacheOf = [](Connection &c) {
            Query q(&c, "cache");
            q.setSql("PRAGMA cache_size");
            q.open();
            return q.value(0, 0);
        };
        for (Connection *opened : {&dm.conn_jz_m, &dm.conn_jz_f, &dm.conn_jz_u}) {
            Connection inPlace(opened->name());
            inPlace.open(opened->path(), opened == &dm.conn_jz_m   ? Schema::ledger().password
                                         : opened == &dm.conn_jz_f ? Schema::phrases().password
                                                                   : Schema::details().password);
            QCOMPARE(cacheOf(*opened), cacheOf(inPlace));
        }
    }

    // A first start that fails part way names the file that failed and leaves no file of
    // the set behind, so the next start can try again.
    void failedFirstStartLeavesNothing_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<bool>("atRename");
        QTest::newRow("creating the phrase file") << Schema::phrases().fileName << false;
        QTest::newRow("creating the detail file") << Schema::details().fileName << false;
        QTest::newRow("naming the phrase file") << Schema::phrases().fileName << true;
        QTest::newRow("naming the detail file") << Schema::details().fileName << true;
    }
    void failedFirstStartLeavesNothing()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, atRename);
        Folder folder;
        QDir dir(folder.path());
        // A folder in place of the temporary file stops its creation; a link to nowhere in
        // place of the file stops its rename (the name looks free, but is taken).
        if (atRename)
            QVERIFY(QFile::link(folder.file("nowhere/x"), folder.file(blocked)));
        else
            QVERIFY(dir.mkdir(blocked + ".new"));
        const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        try {
            TDataModule2 dm(folder.path());
            QFAIL("first start went through");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains("/" + blocked), qPrintable(e.text()));
            for (const QString &other : {Schema::ledger().fileName, Schema::phrases().fileName, Schema::details().fileName})
                if (other != blocked)
                    QVERIFY2(!e.text().contains(other), qPrintable(e.text()));
        }
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
        // Once the way is clear the next start creates the whole set.
        QVERIFY(QFile::remove(folder.file(blocked)) || dir.rmdir(blocked + ".new"));
        TDataModule2 dm(folder.path());
        QCOMPARE(dm.Query_jz_aa->rowCount(), 1);
    }

    // A first start killed between the renames left some files under their names and the
    // rest complete under their temporary names; the next start finishes the job.
    void interruptedFirstStartIsFinished()
    {
        Folder folder;
        { TDataModule2 dm(folder.path()); }
        for (const QString &name : {Schema::phrases().fileName, Schema::details().fileName})
            QVERIFY(QFile::rename(folder.file(name), folder.file(name + ".new")));
        {
            TDataModule2 dm(folder.path());
            QCOMPARE(dm.Query_jz_ub->value(0, "ub3"), QString("8"));
        }
        QCOMPARE(QDir(folder.path()).entryList({"*.new"}), QStringList());
        // Without the temporary file the set stays partial and is refused, unchanged.
        QVERIFY(QFile::rename(folder.file(Schema::phrases().fileName), folder.file("elsewhere")));
        QVERIFY_THROWS_EXCEPTION(DbError, TDataModule2(folder.path()));
        QVERIFY(!QFile::exists(folder.file(Schema::phrases().fileName)));
    }

    void totalsStayWithinTheirBook()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntry(dm, "收入", "1", "1.50", "1.00", "0.50");
        addEntry(dm, "收入", "1", "2.25", "2.25", "0.00");
        addEntry(dm, "收入", "12", "1000.00", "1000.00", "0.00");
        addEntry(dm, "支出", "12", "7.00", "5.00", "2.00");
        BookRefresh::full(dm);
        QCOMPARE(BookRefresh::bookKey(dm), QString("1"));
        QCOMPARE(dm.Query_jz_ab->rowCount(), 2);
        QCOMPARE(dm.Query_jz_ab->value(0, "b5"), QString("2.25"));   // newest first
        QCOMPARE(totals(dm), (QStringList{"3.75", "3.25", "0.5", "", "", ""}));
        QVERIFY(dm.totalQuery(3)->isNull(0, 0));

        // Make book 12 current: book 1's entries stay out.
        dm.conn_jz_m.exec("insert into jz_aa (a1,a2,a3,a6)values ('b','','','0')");
        for (int i = 3; i <= 12; ++i)
            dm.conn_jz_m.exec("insert into jz_aa (a1,a2,a3,a6)values ('b','','','0')");
        dm.conn_jz_m.exec("update jz_aa set a6='0'");
        dm.conn_jz_m.exec("update jz_aa set a6='1' where aid=12");
        BookRefresh::full(dm);
        QCOMPARE(BookRefresh::bookKey(dm), QString("12"));
        QCOMPARE(dm.Query_jz_ab->rowCount(), 2);
        QCOMPARE(totals(dm), (QStringList{"1000", "1000", "0", "7", "5", "2"}));

        // No book flagged: empty key, empty list, empty totals.
        dm.conn_jz_m.exec("update jz_aa set a6='0'");
        BookRefresh::full(dm);
        QCOMPARE(BookRefresh::bookKey(dm), QString());
        QCOMPARE(dm.Query_jz_ab->rowCount(), 0);
        QCOMPARE(totals(dm), (QStringList{"", "", "", "", "", ""}));
    }

    void sumsAreExactDecimals_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("sum");
        QTest::newRow("no rows") << QStringList{} << "";
        QTest::newRow("0.1 + 0.2") << QStringList{"0.1", "0.2"} << "0.3";
        QTest::newRow("whole result") << QStringList{"100.00", "50.00"} << "150";
        QTest::newRow("negative") << QStringList{"-3.00", "1.25"} << "-1.75";
        QTest::newRow("typed as stored") << QStringList{"12", "0.005"} << "12.005";
        QTest::newRow("to zero") << QStringList{"-0.10", "0.10"} << "0";
        QTest::newRow("blanks around") << QStringList{" 1.5 ", "2"} << "3.5";
        QTest::newRow("more digits than 64 bits hold") << QStringList{"123456789012345678901.25", "0.75"}
                                                       << "123456789012345678902";
        QTest::newRow("not a number counts as the engine reads it") << QStringList{"-", "2.50"} << "2.5";
        // Texts another tool may have written: each counts as the engine reads it, and the
        // total keeps the form of every other total.
        QTest::newRow("exponent") << QStringList{"1e1", "5"} << "15";
        QTest::newRow("trailing letters") << QStringList{"12abc", "3"} << "15";
        QTest::newRow("exponent with fraction") << QStringList{"1.5e-1", "0.85"} << "1";
        QTest::newRow("odd texts among many tenths")
            << QStringList{"0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "abc", "1e0"} << "2";
        // Wider than the fast sum: no overflow, no float.
        QTest::newRow("large and fine") << QStringList{"12345678901234567890123.45", "0.000000000000000001"}
                                        << "12345678901234567890123.450000000000000001";
        QTest::newRow("beyond 128 bits") << QStringList{"9999999999999999999999999", "9999999999999999999999999",
                                                        "9999999999999999999999999.999999999999999999"}
                                         << "29999999999999999999999997.999999999999999999";
        QTest::newRow("wide and negative") << QStringList{"-1e-20", "0"} << "-0.00000000000000000001";
        QTest::newRow("wide back to zero") << QStringList{"1e30", "-1e30", "0.10"} << "0.1";
    }
    void sumsAreExactDecimals()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, sum);
        Folder folder;
        TDataModule2 dm(folder.path());
        for (const QString &v : values)
            addEntry(dm, "收入", "1", v, v, v);
        BookRefresh::full(dm);
        QCOMPARE(dm.Query_count_shouru->value(0, 0), sum);
    }

    // Whatever the text, the sum of one value is the number the engine reads from it.
    void sumReadsTextAsTheEngineDoes()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        const QStringList texts{" 12 ", "\t\n12", "\v7", "\f7", "\r7", "12abc", "abc", "", ".5", "5.", "-.5",
                                "+5", "- 5", "1e", "1e+", "1e3", "1E-2", "  -3.25e2xyz", "e5", ".e5", "0x10",
                                "1,5", "１２", "1.2.3", "00012.500", "12 34", "-0", "1e-400"};
        for (const QString &t : texts) {
            dm.conn_jz_m.exec("delete from jz_ab");
            dm.conn_jz_m.exec("insert into jz_ab (b1,b5,b14) values ('收入',:v,'1')", {{":v", t}});
            Query q(&dm.conn_jz_m, "sum");
            q.setSql("select sum(b5), cast(b5 as real) from jz_ab");
            q.open();
            bool ok = false;
            QCOMPARE(q.value(0, 0).toDouble(&ok), q.value(0, 1).toDouble());
            QVERIFY2(ok, qPrintable(t + " -> " + q.value(0, 0)));
            QVERIFY2(!q.value(0, 0).contains('e') && !q.value(0, 0).endsWith(".0"), qPrintable(q.value(0, 0)));
        }
    }

    // Values stored as numbers rather than text count too, floats as their shortest decimal.
    void sumOfNumbersStoredAsNumbers()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        for (const char *v : {"0.1", "0.2", "7", "1e300", "-1e300"})
            dm.conn_jz_m.exec(QStringLiteral("insert into jz_ab (b1,b5,b14) values ('收入',%1,'1')").arg(v));
        BookRefresh::full(dm);
        QCOMPARE(dm.Query_count_shouru->value(0, 0), QString("7.3"));
    }

    // A value the engine reads as infinite cannot be totalled: say so, do not show a wrong total.
    void sumBeyondRangeFails()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntry(dm, "收入", "1", "1e400", "1", "1");
        BookRefresh::loadCurrentBook(dm);
        QVERIFY_THROWS_EXCEPTION(DbError, BookRefresh::loadTotals(dm));
        dm.conn_jz_m.exec("update jz_ab set b5 = '1e308'");
        BookRefresh::loadTotals(dm);
        QCOMPARE(dm.Query_count_shouru->value(0, 0), QString("1" + QString(308, '0')));
    }

    void manySmallAmountsDoNotDrift()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        {
            Connection::Transaction t(dm.conn_jz_m);
            for (int i = 0; i < 100000; ++i)
                dm.conn_jz_m.exec("insert into jz_ab (b1,b5,b14) values ('收入','0.10','1')");
            t.commit();
        }
        BookRefresh::loadCurrentBook(dm);
        BookRefresh::loadTotals(dm);
        QCOMPARE(dm.Query_count_shouru->value(0, 0), QString("10000"));
    }

    void idsAreNeverReused()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntry(dm, "收入", "1", "1", "1", "0");
        addEntry(dm, "收入", "1", "2", "2", "0");
        BookRefresh::full(dm);
        QCOMPARE(dm.Query_jz_ab->value(0, "bid"), QString("2"));
        dm.Query_jz_ab->setCurrentRow(0);
        dm.Query_jz_ab->deleteCurrentRow();
        QCOMPARE(dm.Query_jz_ab->rowCount(), 1);
        addEntry(dm, "收入", "1", "3", "3", "0");
        BookRefresh::loadEntries(dm);
        QCOMPARE(dm.Query_jz_ab->value(0, "bid"), QString("3"));
    }

    // A fresh query whose first cells are empty text: nothing is copied for them, and
    // they read back as empty, not NULL.
    void emptyTextCellsInAFreshQuery()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        Query q(&dm.conn_jz_m, "empty");
        q.setSql("select '' as a, '' as b, null as c, 'x' as d union all select '', 'y', '', ''");
        q.open();
        QCOMPARE(q.rowCount(), 2);
        QCOMPARE(q.value(0, 0), QString(""));
        QVERIFY(!q.isNull(0, 0));
        QVERIFY(q.isNull(0, 2));
        QCOMPARE(q.value(0, 3), QString("x"));
        QCOMPARE(q.value(1, 1), QString("y"));
        QVERIFY(!q.isNull(1, 2));
    }

    void snapshotSortAndDelete()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        for (const char *v : {"20.00", "100.00", "3.5", "-1"})
            addEntry(dm, "收入", "1", v, v, "0");
        BookRefresh::full(dm);
        Query *q = dm.Query_jz_ab;
        addEntry(dm, "收入", "1", "9", "9", "0");
        QCOMPARE(q->rowCount(), 4);                 // a snapshot until reopened
        q->sort("b5", Qt::AscendingOrder, Query::SortKind::Number);
        QStringList order;
        for (int r = 0; r < q->rowCount(); ++r)
            order << q->value(r, "b5");
        QCOMPARE(order, (QStringList{"-1", "3.5", "20.00", "100.00"}));
        q->sort("b5", Qt::AscendingOrder, Query::SortKind::Text);
        QCOMPARE(q->value(0, "b5"), QString("-1"));
        QCOMPARE(q->value(1, "b5"), QString("100.00"));
        q->sort("b5", Qt::DescendingOrder, Query::SortKind::Number);
        q->setCurrentRow(0);
        q->deleteCurrentRow();                      // removes 100.00 from the table
        q->reopen();
        QCOMPARE(q->rowCount(), 4);
        QCOMPARE(q->value(0, "b5"), QString("9"));  // statement order again
        QVERIFY(q->sortField().isEmpty());
        BookRefresh::loadTotals(dm);
        QCOMPARE(dm.Query_count_shouru->value(0, 0), QString("31.5"));
    }

    void entryListReadsRowsOnDemand()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        {
            Connection::Transaction t(dm.conn_jz_m);
            for (int i = 1; i <= 300; ++i)
                addEntry(dm, i % 2 ? "收入" : "支出", i % 3 ? "1" : "12", QString::number(i), "0", "0");
            t.commit();
        }
        BookRefresh::full(dm);
        Query *q = dm.Query_jz_ab;
        // The book refresh lists the book from its rows in memory; run by its own statement,
        // the list keeps only the entry numbers.
        QVERIFY(!q->readsOnDemand());
        q->reopen();
        QVERIFY(q->readsOnDemand());
        QCOMPARE(q->rowCount(), 200);
        // Every row, read far apart and out of order, carries its own values.
        for (int r : {199, 0, 130, 64, 65, 1}) {
            const int bid = q->value(r, "bid").toInt();
            QCOMPARE(q->value(r, bid % 2 ? "b5" : "b8"), QString::number(bid));
            QCOMPARE(q->isNull(r, q->fieldIndex(bid % 2 ? "b8" : "b5")), true);
            QCOMPARE(q->value(r, "b14"), QString("1"));
        }
        // Sort by a column of rows not read yet; delete one; sort again.
        q->sort("b5", Qt::DescendingOrder, Query::SortKind::Number);
        QCOMPARE(q->value(0, "b5"), QString("299"));
        QCOMPARE(q->value(99, "b5"), QString("1"));
        QVERIFY(q->isNull(100, q->fieldIndex("b5")));  // expenses last
        q->setCurrentRow(0);
        q->deleteCurrentRow();
        q->sort("b5", Qt::DescendingOrder, Query::SortKind::Number);
        QCOMPARE(q->rowCount(), 199);
        QCOMPARE(q->value(0, "b5"), QString("295"));
        // A search statement goes the same way.
        q->close();
        q->setSql("select * from jz_ab where b1 like :k and b14 = :b order by bid desc");
        q->bind(":k", "支出");
        q->bind(":b", "1");
        q->open();
        QCOMPARE(q->rowCount(), 100);
        QCOMPARE(q->value(0, "b8"), QString("298"));
    }

    void inPlaceEditingWritesRows()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        Query *q = dm.Query_jz_a1;
        q->insertRow(0);
        q->setValue(0, q->fieldIndex("z1"), "it's 100%");
        q->post();
        QCOMPARE(q->value(0, "zid"), QString("1"));
        q->insertRow(0);
        q->cancelEdit();                            // an unchanged new row is dropped
        QCOMPARE(q->rowCount(), 1);
        q->setValue(0, q->fieldIndex("z1"), "changed");
        q->post();
        q->reopen();
        QCOMPARE(q->rowCount(), 1);
        QCOMPARE(q->value(0, "z1"), QString("changed"));
        q->deleteCurrentRow();
        q->reopen();
        QCOMPARE(q->rowCount(), 0);
    }

    void failingStatementRaisesEngineText()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        try {
            dm.conn_jz_m.exec("select * from no_such_table");
            QFAIL("no error");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains("no such table"), qPrintable(e.text()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_data_module.moc"
