#include <QtTest>
#include "test_support.h"
#include "data/connection.h"
#include "data/data_folder.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/upgrade.h"

using Folder = testsupport::DataFolder;

namespace {

QString declaredType(Connection &c, const QString &table, const QString &column)
{
    Query q(&c, "t");
    q.setSql(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    q.open();
    for (int r = 0; r < q.rowCount(); ++r)
        if (q.value(r, "name") == column)
            return q.value(r, "type");
    return QString();
}

QStringList rows(Connection &c, const QString &sql)
{
    Query q(&c, "r");
    q.setSql(sql);
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q.columnCount(); ++col)
            cells << (q.isNull(r, col) ? QStringLiteral("NULL") : q.value(r, col));
        out << cells.join('|');
    }
    return out;
}

// Files as an older release left them: narrower column types, some rows, a deleted newest id.
void makeOldFiles(TDataModule2 &dm)
{
    Connection &m = dm.conn_jz_m;
    m.exec("DROP TABLE jz_ab");
    m.exec("CREATE TABLE jz_ab (bid INTEGER PRIMARY KEY AUTOINCREMENT, b1 TEXT, b2 TEXT, "
           "b3 NVARCHAR(50), b4 NVARCHAR(50), b5 NVARCHAR(10), b6 NVARCHAR(10), b7 NVARCHAR(10), "
           "b8 NVARCHAR(10), b9 NVARCHAR(10), b10 NVARCHAR(10), b14 TEXT)");
    m.exec("CREATE INDEX jz_ab_b14 ON jz_ab (b14)");
    for (int i = 1; i <= 3; ++i)
        m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values ('收入','2012- 8-27',:s,'单位',:v,:v,'0.00','1')",
               {{":s", QStringLiteral("摘要%1").arg(i)}, {":v", QStringLiteral("%1.50").arg(i)}});
    m.exec("delete from jz_ab where bid = 3");
    for (const char *t : {"a1", "a2"}) {
        dm.conn_jz_f.exec(QStringLiteral("DROP TABLE %1").arg(t));
        dm.conn_jz_f.exec(QStringLiteral("CREATE TABLE %1 (zid INTEGER PRIMARY KEY AUTOINCREMENT, z1 NVARCHAR(50))").arg(t));
        dm.conn_jz_f.exec(QStringLiteral("insert into %1 (z1) values ('甲')").arg(t));
    }
}

const char *const kLedgerColumns[] = {"b3", "b4", "b5", "b6", "b7", "b8", "b9", "b10"};

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    void runsOnceKeepingRowsIdsAndCounter()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        makeOldFiles(dm);
        const QString ini = folder.file("check.ini");
        DataFolder::setIniValue(ini, "data_set", "one", "1");
        const QStringList before = rows(dm.conn_jz_m, "select * from jz_ab order by bid");

        QVERIFY(Upgrade::runIfDue(dm, ini));
        QCOMPARE(DataFolder::iniValue(ini, "data_set", "one"), QString("0"));
        for (const char *col : kLedgerColumns) {
            const bool text = QString(col) == "b3" || QString(col) == "b4";
            QCOMPARE(declaredType(dm.conn_jz_m, "jz_ab", col), QString(text ? "NVARCHAR (160)" : "NVARCHAR (25)"));
        }
        QCOMPARE(declaredType(dm.conn_jz_f, "a1", "z1"), QString("NVARCHAR (160)"));
        QCOMPARE(declaredType(dm.conn_jz_f, "a2", "z1"), QString("NVARCHAR (160)"));
        QCOMPARE(rows(dm.conn_jz_m, "select * from jz_ab order by bid"), before);
        QCOMPARE(rows(dm.conn_jz_f, "select * from a1"), QStringList{"1|甲"});
        // The counter survives: the deleted id 3 is not given out again.
        dm.conn_jz_m.exec("insert into jz_ab (b1,b14) values ('支出','1')");
        QCOMPARE(dm.conn_jz_m.lastInsertId(), qint64(4));
        QCOMPARE(rows(dm.conn_jz_m, "select name from sqlite_master where type='index' and tbl_name='jz_ab'"),
                 QStringList{"jz_ab_b14"});

        // Not due any more.
        QVERIFY(!Upgrade::runIfDue(dm, ini));
    }

    void onlyExactlyOneMakesItDue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("blank before") << " 1";
        QTest::newRow("true") << "true";
        QTest::newRow("zero") << "0";
        QTest::newRow("missing") << QString();
    }
    void onlyExactlyOneMakesItDue()
    {
        QFETCH(QString, value);
        Folder folder;
        TDataModule2 dm(folder.path());
        makeOldFiles(dm);
        const QString ini = folder.file("check.ini");
        if (!value.isNull())
            DataFolder::setIniValue(ini, "data_set", "one", value);
        QVERIFY(!Upgrade::runIfDue(dm, ini));
        QCOMPARE(declaredType(dm.conn_jz_m, "jz_ab", "b5"), QString("NVARCHAR(10)"));
        QCOMPARE(QFile::exists(ini), !value.isNull());   // never created
        if (!value.isNull())
            QCOMPARE(DataFolder::iniValue(ini, "data_set", "one"), value);
    }

    void failureLeavesItDueAndDataAsItWas()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        makeOldFiles(dm);
        dm.conn_jz_f.exec("DROP TABLE a2");
        const QString ini = folder.file("check.ini");
        DataFolder::setIniValue(ini, "data_set", "one", "1");
        QVERIFY_THROWS_EXCEPTION(DbError, Upgrade::runIfDue(dm, ini));
        QCOMPARE(DataFolder::iniValue(ini, "data_set", "one"), QString("1"));
        // The phrase file changes all together or not at all.
        QCOMPARE(declaredType(dm.conn_jz_f, "a1", "z1"), QString("NVARCHAR(50)"));
        QCOMPARE(rows(dm.conn_jz_f, "select * from a1"), QStringList{"1|甲"});
        // The ledger's change stays done and a later run does the rest.
        QCOMPARE(declaredType(dm.conn_jz_m, "jz_ab", "b5"), QString("NVARCHAR (25)"));
        dm.conn_jz_f.exec("CREATE TABLE a2 (zid INTEGER PRIMARY KEY AUTOINCREMENT, z1 NVARCHAR(50))");
        QVERIFY(Upgrade::runIfDue(dm, ini));
        QCOMPARE(declaredType(dm.conn_jz_f, "a2", "z1"), QString("NVARCHAR (160)"));
    }

    void freshFilesNeedNoChange()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        const QStringList schema = rows(dm.conn_jz_m, "select sql from sqlite_master order by name");
        Upgrade::run(dm);
        QCOMPARE(rows(dm.conn_jz_m, "select sql from sqlite_master order by name"), schema);
    }
};

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
