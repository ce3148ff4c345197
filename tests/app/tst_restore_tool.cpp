// What the restore tool prints: its list of sets and why a set cannot be used.
#include <QtTest>
#include <QProcess>
#include "test_support.h"
#include "data/backup.h"
#include "data/data_module.h"

using Folder = testsupport::DataFolder;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run restoreTool(const Folder &folder, const QStringList &args)
{
    const QString home = QDir::cleanPath(folder.path() + "/../..");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(TALLYRUE_RESTORE_BINARY, args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Where a text starts on a terminal line: a CJK character takes two cells.
int cellOf(const QString &line, qsizetype at)
{
    int n = 0;
    for (qsizetype i = 0; i < at; ++i)
        n += line[i].unicode() >= 0x2E80 ? 2 : 1;
    return n;
}

} // namespace

class TestRestoreTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    // Sets with names of different lengths: times and sizes stand in columns under titles.
    void listIsAligned()
    {
        Folder folder;
        QStringList sets;
        {
            TDataModule2 dm(folder.path());
            for (const char *reason : {"a", "before-restore"}) {
                const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow(QString::fromLatin1(reason));
                QVERIFY2(r.ok, qPrintable(r.error));
                sets << QFileInfo(r.set).fileName();
                QTest::qWait(1100); // one set per second
            }
        }
        const Run r = restoreTool(folder, {});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n');
        QStringList rows;
        for (const QString &line : lines)
            if (line.contains("时间") || std::any_of(sets.cbegin(), sets.cend(), [&](const QString &s) { return line.contains(s); }))
                rows << line;
        QCOMPARE(rows.size(), 3);
        const int timeAt = cellOf(rows[0], rows[0].indexOf("时间"));
        const int sizeEnd = cellOf(rows[0], rows[0].size());
        static const QRegularExpression time(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"));
        for (int i = 1; i < rows.size(); ++i) {
            QCOMPARE(cellOf(rows[i], rows[i].indexOf(time)), timeAt);
            QCOMPARE(cellOf(rows[i], rows[i].size()), sizeEnd);
        }
    }

    // A damaged file: named in words with what it holds, the set refused, the engine's text
    // after it as a detail; nothing is changed.
    void damagedSetInWords()
    {
        Folder folder;
        QString set;
        {
            TDataModule2 dm(folder.path());
            for (int i = 0; i < 300; ++i)
                dm.conn_jz_m.exec("insert into jz_ab (b1,b3,b14) values ('收入', :s, '1')",
                                  {{":s", QString(200, QChar(u'x'))}});
            const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
            QVERIFY2(r.ok, qPrintable(r.error));
            set = r.set;
        }
        QFile f(set + "/qel_jz_m.dll");
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() > 8 * 4096);
        f.seek(4 * 4096 + 100);
        f.write(QByteArray(3000, '\x5a'));
        f.close();

        const Run r = restoreTool(folder, {QFileInfo(set).fileName()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("备份 %1 中的文件 qel_jz_m.dll（账本和收支记录）已损坏，这份备份不能用来恢复")
                                    .arg(QFileInfo(set).fileName())),
                 qPrintable(r.err));
        // The engine's text comes after the words, as a detail.
        const qsizetype words = r.err.indexOf("已损坏");
        const qsizetype detail = r.err.indexOf("\n详细信息：");
        QVERIFY2(words >= 0 && detail > words && r.err.size() > detail + 8, qPrintable(r.err));
    }
};

QTEST_MAIN(TestRestoreTool)
#include "tst_restore_tool.moc"
