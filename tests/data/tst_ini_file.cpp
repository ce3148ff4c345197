#include <QtTest>
#include <QTemporaryDir>
#include <sys/stat.h>
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

    // Bytes that are not UTF-8 (a comment written in GBK), a byte-order mark, mixed line
    // ends and a last line without its end all stay exactly as they were.
    void writingKeepsEveryOtherByte_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QByteArray>("after");
        const QByteArray gbk("; \xd5\xcb\xb1\xbe\xc9\xe8\xd6\xc3\r\n");   // "账本设置" in GBK
        QTest::newRow("key changed") << QByteArray(gbk + "[pro_set]\r\nrun=1\r\n") << "pro_set"
                                     << QByteArray(gbk + "[pro_set]\r\nrun=0\r\n");
        QTest::newRow("key added to its section")
            << QByteArray("\xef\xbb\xbf[pro_set]\nx=\xff\xfe\r\n[b]\nc=d") << "pro_set"
            << QByteArray("\xef\xbb\xbf[pro_set]\nx=\xff\xfe\r\nrun=0\r\n[b]\nc=d");
        QTest::newRow("section added after an unended line")
            << QByteArray("; \xb1\xb8\xd7\xa2") << "new"
            << QByteArray("; \xb1\xb8\xd7\xa2\n\n[new]\nrun=0\n");
    }
    void writingKeepsEveryOtherByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString ini = dir.filePath("iset.ini");
        put(ini, before);
        QVERIFY(DataFolder::setIniValue(ini, section, "run", "0"));
        QCOMPARE(bytes(ini), after);
        QCOMPARE(DataFolder::iniValue(ini, section, "run"), QString("0"));
        // Private to the user, however the file was before.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(ini).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
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
