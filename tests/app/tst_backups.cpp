#include <QtTest>
#include <QCryptographicHash>
#include <QProcess>
#include <memory>
#include "test_support.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/single_instance.h"
#include "app/start_up.h"
#include "books/switch_dialog.h"
#include "data/backup.h"
#include "data/data_module.h"
#include "ui/message_box.h"

using Folder = testsupport::DataFolder;

namespace {

QByteArray digest(const QString &dir)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString &name : Backup::fileNames()) {
        QFile f(dir + "/" + name);
        if (f.open(QIODevice::ReadOnly))
            h.addData(f.readAll());
        h.addData(QFileInfo(f).lastModified().toString(Qt::ISODateWithMs).toUtf8());
    }
    return h.result();
}

QProcessEnvironment envFor(const Folder &folder)
{
    const QString home = QDir::cleanPath(folder.path() + "/../..");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run restoreTool(const Folder &folder, const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(envFor(folder));
    p.start(TALLYRUE_RESTORE_BINARY, args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

int entryCount(TDataModule2 &dm)
{
    Query q(&dm.conn_jz_m, "n");
    q.setSql("select count(*) from jz_ab");
    q.open();
    return q.value(0, 0).toInt();
}

void addEntries(TDataModule2 &dm, int n)
{
    for (int i = 0; i < n; ++i)
        dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values "
                          "('收入','2026- 5- 1','摘要','单位','1.00','1.00','0.00','1')");
}

// A set holding two entries, the files then holding five; the data module closed.
QString setOfTwoThenFive(const Folder &folder)
{
    TDataModule2 dm(folder.path());
    addEntries(dm, 2);
    const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
    addEntries(dm, 3);
    return r.ok ? QFileInfo(r.set).fileName() : QString();
}

// Waits until a running copy has written its pid into the lock file.
bool waitForOwner(const QString &lockPath, qint64 pid)
{
    for (int i = 0; i < 200; ++i) {
        QFile f(lockPath);
        if (f.open(QIODevice::ReadOnly) && f.readLine().trimmed().toLongLong() == pid)
            return true;
        QTest::qWait(50);
    }
    return false;
}

} // namespace

class TestBackups : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    // The start-of-day set is written once the main window stands, in the background.
    void startOfDaySetOnceTheWindowStands()
    {
        Folder folder;
        Program program(folder.path());
        addEntries(*program.data(), 4);
        program.show();
        QVERIFY(QTest::qWaitForWindowExposed(program.mainWindow()));
        QVERIFY(Backup::completeSets(folder.path()).isEmpty());   // not at start
        QTRY_COMPARE_WITH_TIMEOUT(Backup::completeSets(folder.path()).size(), 1, 20000);
        const Backup::SetInfo set = Backup::completeSets(folder.path()).first();
        QCOMPARE(set.reason, QString("start"));
        QCOMPARE(Backup::checkSet(set.path), QString());
        QVERIFY(msg::shown().isEmpty());
        QVERIFY(program.mainWindow()->isVisible());
    }

    // Deleting a book through the switch dialog keeps a set made just before, with the book in it.
    void setBeforeABookIsDeleted()
    {
        Folder folder;
        Program program(folder.path());
        TDataModule2 &dm = *program.data();
        dm.conn_jz_m.exec("insert into jz_aa (a1,a2,a3,a6) values ('二号','2026-12-10 9:00:00','','0')");
        dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values "
                          "('收入','2026- 5- 1','摘要','单位','1.00','1.00','0.00','2')");
        dm.Query_jz_aa->reopen();   // book 2 first, newest first
        QCOMPARE(dm.Query_jz_aa->field("aid"), QString("2"));
        msg::clearShown();
        msg::setNextAnswer(QMessageBox::Ok);
        program.switchDialog()->bsSkinSpeedButton3Click();
        QCOMPARE(entryCount(dm), 0);
        const QList<Backup::SetInfo> sets = Backup::completeSets(folder.path());
        QCOMPARE(sets.size(), 1);
        QVERIFY2(sets.first().path.endsWith("-delete-book-2"), qPrintable(sets.first().path));
        QCOMPARE(Backup::checkSet(sets.first().path), QString());
        // The set still holds the deleted book's entry.
        Folder restored;
        for (const QString &name : Backup::fileNames())
            QVERIFY(QFile::copy(sets.first().path + "/" + name, restored.file(name)));
        TDataModule2 back(restored.path());
        QCOMPARE(entryCount(back), 1);
    }

    void restoreRefusedWhileTheProgramRuns()
    {
        Folder folder;
        const QString set = setOfTwoThenFive(folder);
        QVERIFY(!set.isEmpty());

        QProcess program;
        program.setProcessEnvironment(envFor(folder));
        program.start(TALLYRUE_BINARY, {});
        QVERIFY(program.waitForStarted());
        QVERIFY(waitForOwner(folder.file("tallyrue_qel.lock"), program.processId()));
        const QByteArray before = digest(folder.path());

        const Run r = restoreTool(folder, {set});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("Tallyrue 正在运行，不能恢复备份。请先退出 Tallyrue"), qPrintable(r.err));
        QCOMPARE(digest(folder.path()), before);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        QVERIFY(program.waitForFinished(5000));
    }

    void restoreToolPutsASetBack()
    {
        Folder folder;
        const QString set = setOfTwoThenFive(folder);
        QVERIFY(!set.isEmpty());

        const Run list = restoreTool(folder, {});
        QCOMPARE(list.code, 0);
        QVERIFY2(list.out.contains(set), qPrintable(list.out));

        const Run r = restoreTool(folder, {set});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("已恢复备份 " + set), qPrintable(r.out + r.err));
        QVERIFY(r.out.contains("before-restore"));

        {
            TDataModule2 dm(folder.path());
            QCOMPARE(entryCount(dm), 2);
        }
        const QList<Backup::SetInfo> sets = Backup::completeSets(folder.path());
        QCOMPARE(sets.size(), 2);
        QCOMPARE(sets.first().reason, QString("before-restore"));
        {
            TDataModule2 kept(sets.first().path);   // what was there before the restore
            QCOMPARE(entryCount(kept), 5);
        }
        // The tool let go of the lock: the program can start.
        SingleInstance after(folder.path());
        QVERIFY(after.acquired());
    }

    // A restore cut off between its renames (as by a crash) is taken back by the next
    // start, before anything opens the files, and the user is told.
    void startTakesBackAHalfDoneRestore()
    {
        Folder folder;
        const QString set = setOfTwoThenFive(folder);
        QVERIFY(!set.isEmpty());
        Backup::failRestoreRenameForTests(5, true);
        const Backup::RestoreResult cut = Backup::restore(folder.path(), Backup::folder(folder.path()) + "/" + set);
        Backup::failRestoreRenameForTests(0);
        QVERIFY(!cut.ok);
        QVERIFY(QFile::exists(folder.file(Backup::restoreMarkerName())));

        msg::clearShown();
        StartUp::Session session;
        QCOMPARE(StartUp::begin(session), -1);
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QVERIFY2(msg::lastShown().text.contains("恢复之前"), qPrintable(msg::lastShown().text));
        QVERIFY(!QFile::exists(folder.file(Backup::restoreMarkerName())));
        QCOMPARE(entryCount(*session.program->data()), 5);
    }

    // "set/" names the set: the trailing slash is no part of its name.
    void restoreToolTakesASetPathWithATrailingSlash()
    {
        Folder folder;
        const QString set = setOfTwoThenFive(folder);
        QVERIFY(!set.isEmpty());
        for (const QString &arg : {set + "/", Backup::folder(folder.path()) + "/" + set + "/"}) {
            const Run r = restoreTool(folder, {arg});
            QCOMPARE(r.code, 0);
            TDataModule2 dm(folder.path());
            QCOMPARE(entryCount(dm), 2);
        }
    }

    void restoreToolRefusesWhatIsNotAWholeSet_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("no such set") << "20200101-000000-start";
        QTest::newRow("half-written set") << "partial";
        QTest::newRow("half-written set, trailing slash") << "partial/";
        QTest::newRow("half-written set, trailing slash and dot") << "partial/.";
        QTest::newRow("set missing a file") << "incomplete";
        QTest::newRow("two arguments") << "two";
    }
    void restoreToolRefusesWhatIsNotAWholeSet()
    {
        QFETCH(QString, which);
        Folder folder;
        const QString set = setOfTwoThenFive(folder);
        QVERIFY(!set.isEmpty());
        const QString backups = Backup::folder(folder.path());
        QStringList args{which};
        if (which.startsWith("partial")) {
            QVERIFY(QDir().rename(backups + "/" + set, backups + "/.partial-" + set));
            args = {backups + "/.partial-" + set + which.mid(7)};
        } else if (which == "incomplete") {
            QVERIFY(QFile::remove(backups + "/" + set + "/qel_jz_u.dll"));
            args = {set};
        } else if (which == "two") {
            args = {set, set};
        }
        const QByteArray before = digest(folder.path());
        const Run r = restoreTool(folder, args);
        QCOMPARE(r.code, 1);
        QCOMPARE(digest(folder.path()), before);
        TDataModule2 dm(folder.path());
        QCOMPARE(entryCount(dm), 5);
    }
};

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
