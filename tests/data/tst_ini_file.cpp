#include <QtTest>
#include <QTemporaryDir>
#include "data/data_folder.h"

namespace {

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

void put(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << QByteArray("[pro_set]\nrun=1\n") << "1";
        QTest::newRow("blanks around") << QByteArray("[pro_set]\r\n  run = 1  \r\n") << "1";
        QTest::newRow("quoted blank kept") << QByteArray("[data_set]\none=\" 1\"\n") << " 1";
        QTest::newRow("letter case") << QByteArray("[PRO_SET]\nRUN=0\n") << "0";
        QTest::newRow("other section") << QByteArray("[set]\nrun=1\n") << "";
        QTest::newRow("comment") << QByteArray("[pro_set]\n;run=1\n") << "";
        QTest::newRow("after another section") << QByteArray("[pro_set]\nx=2\n[other]\nrun=1\n") << "";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[pro_set]\nrun=1\n") << "1";
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString ini = dir.filePath("iset.ini");
        put(ini, content);
        const QString section = content.contains("data_set") ? "data_set" : "pro_set";
        const QString key = section == "data_set" ? "one" : "run";
        QCOMPARE(DataFolder::iniValue(ini, section, key), value);
    }

    // Only the key's line changes: comments, other keys and the line ends stay.
    void writingKeepsTheRest()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("iset.ini");
        put(ini, "; kept\r\n[pro_set]\r\nrun = 1\r\nother=x\r\n\r\n[next]\r\na=b\r\n");
        QVERIFY(DataFolder::setIniValue(ini, "pro_set", "run", "0"));
        QCOMPARE(bytes(ini), QByteArray("; kept\r\n[pro_set]\r\nrun=0\r\nother=x\r\n\r\n[next]\r\na=b\r\n"));
        QVERIFY(DataFolder::setIniValue(ini, "next", "new", " 1"));
        QCOMPARE(DataFolder::iniValue(ini, "next", "new"), QString(" 1"));
        QCOMPARE(DataFolder::iniValue(ini, "pro_set", "other"), QString("x"));
    }

    // Each read sees the file as it is now, however quickly it changed.
    void readsTheFileAsItIsNow()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("iset.ini");
        for (int i = 0; i < 50; ++i) {
            QVERIFY(DataFolder::setIniValue(ini, "pro_set", "run", "0"));
            put(ini, "[set]\r\nrun = 1\r\n");
            QCOMPARE(DataFolder::iniValue(ini, "pro_set", "run"), QString());
        }
    }

    void missingFileAndUnwritableFolder()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("iset.ini");
        QCOMPARE(DataFolder::iniValue(ini, "pro_set", "run"), QString());
        QVERIFY(DataFolder::setIniValue(ini, "pro_set", "run", "1"));
        QCOMPARE(bytes(ini), QByteArray("[pro_set]\nrun=1\n"));
        QVERIFY(!DataFolder::setIniValue(dir.filePath("no/such/folder/iset.ini"), "pro_set", "run", "1"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
