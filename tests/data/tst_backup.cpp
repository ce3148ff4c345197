#include <QtTest>
#include <QCryptographicHash>
#include <cstdio>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <QDirIterator>
#include <unistd.h>
#include <memory>
#include "test_support.h"
#include "data/backup.h"
#include "data/clock.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/query.h"
#include "data/schema.h"

using Folder = testsupport::DataFolder;

namespace {

const QStringList kFiles{QStringLiteral("qel_jz_m.dll"), QStringLiteral("qel_jz_f.dll"), QStringLiteral("qel_jz_u.dll")};

QByteArray digest(const QString &dir, const QStringList &names = kFiles)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString &name : names) {
        QFile f(dir + "/" + name);
        h.addData(name.toUtf8());
        if (f.open(QIODevice::ReadOnly))
            h.addData(f.readAll());
    }
    return h.result();
}

QString scalar(const QString &path, const Schema::DataFile &file, const QString &sql)
{
    Connection c("check");
    c.open(path, file.password);
    Query q(&c, "q");
    q.setSql(sql);
    q.open();
    return q.value(0, 0);
}

int entries(const QString &fileOrSet)
{
    const QString path = QFileInfo(fileOrSet).isDir() ? fileOrSet + "/qel_jz_m.dll" : fileOrSet;
    return scalar(path, Schema::ledger(), "select count(*) from jz_ab").toInt();
}

void addEntries(TDataModule2 &dm, int n, const QString &summary = "备份")
{
    Connection::Transaction t(dm.conn_jz_m);
    for (int i = 0; i < n; ++i)
        dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values ('收入','2026- 5- 1',:a,'单位','1.00','1.00','0.00','1')",
                          {{":a", summary}});
    t.commit();
}

QStringList folderNames(const QString &dataDir)
{
    return QDir(Backup::folder(dataDir)).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A folder shaped like a set (its files need not be databases for the listing).
void fakeSet(const QString &dataDir, const QString &name, const QStringList &files = kFiles)
{
    const QString dir = Backup::folder(dataDir) + "/" + name;
    QDir().mkpath(dir);
    for (const QString &f : files) {
        QFile file(dir + "/" + f);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
}

BackupKeeper::Result waitFor(BackupKeeper *keeper)
{
    QSignalSpy done(keeper, &BackupKeeper::finished);
    if (!done.wait(60000))
        return {false, {}, {}, "timed out"};
    return done.first().first().value<BackupKeeper::Result>();
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }
    void cleanup() { Clock::reset(); }

    // The start-of-day set: the three files as they are, once a day.
    void dailySetHoldsTheThreeFiles()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 3);
        dm.conn_jz_f.exec("insert into a1 (z1) values ('短语')");
        dm.conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('明细','1')");

        Clock::set(QDateTime(QDate(2026, 12, 3), QTime(12, 0, 0)));
        BackupKeeper *keeper = BackupKeeper::of(&dm);
        QCOMPARE(BackupKeeper::of(&dm), keeper);
        QVERIFY(keeper->startDaily(0));
        const BackupKeeper::Result r = waitFor(keeper);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.reason, QString("start"));

        const QList<Backup::SetInfo> sets = Backup::completeSets(folder.path());
        QCOMPARE(sets.size(), 1);
        QCOMPARE(sets[0].path, r.set);
        QVERIFY2(sets[0].name.startsWith(QString("20261203") + "-"), qPrintable(sets[0].name));
        QCOMPARE(QDir(r.set).entryList(QDir::Files, QDir::Name), QStringList({"qel_jz_f.dll", "qel_jz_m.dll", "qel_jz_u.dll"}));
        QCOMPARE(folderNames(folder.path()), QStringList{sets[0].name});   // nothing half-written left
        QCOMPARE(entries(r.set), 3);
        QCOMPARE(scalar(r.set + "/qel_jz_f.dll", Schema::phrases(), "select z1 from a1"), QString("短语"));
        QCOMPARE(scalar(r.set + "/qel_jz_u.dll", Schema::details(), "select count(*) from jz_ub"), QString("1"));
        QCOMPARE(scalar(r.set + "/qel_jz_u.dll", Schema::details(), "select ua1 from jz_ua"), QString("明细"));
        QCOMPARE(Backup::checkSet(r.set), QString());

        // Once a day: a second start today makes none.
        QVERIFY(!keeper->startDaily(0));
        QVERIFY(!keeper->busy());
    }

    // Entries saved while a set is being written end up in it, whole.
    void changesDuringASetAreInIt()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 30000);
        BackupKeeper *keeper = BackupKeeper::of(&dm);
        bool changed = false;
        connect(keeper, &BackupKeeper::progress, this, [&](int permille) {
            if (changed || permille == 0 || permille >= 900)   // while the ledger is being copied
                return;
            changed = true;
            addEntries(dm, 1, "写入中");
            dm.conn_jz_m.exec("delete from jz_ab where bid <= 100");
        });
        QVERIFY(keeper->startDaily(0));
        const BackupKeeper::Result r = waitFor(keeper);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(changed);
        QCOMPARE(Backup::checkSet(r.set), QString());
        QCOMPARE(entries(r.set), 30000 - 100 + 1);
        QCOMPARE(scalar(r.set + "/qel_jz_m.dll", Schema::ledger(), "select count(*) from jz_ab where b3 = '写入中'"),
                 QString("1"));
    }

    void keepsTheTenNewest()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        for (int day = 1; day <= 12; ++day)
            fakeSet(folder.path(), QString("202001%1-080000-start").arg(day, 2, 10, QChar('0')));
        fakeSet(folder.path(), ".partial-20200113-080000-start");       // left by a crash
        fakeSet(folder.path(), "20200114-080000-start", kFiles.mid(0, 2)); // not whole: never counted
        fakeSet(folder.path(), "notes");                                 // not ours

        const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow(BackupKeeper::deletionReason("12"));
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY2(QFileInfo(r.set).fileName().endsWith("-delete-book-12"), qPrintable(r.set));

        QStringList kept;
        for (const Backup::SetInfo &s : Backup::completeSets(folder.path()))
            kept << s.name;
        // Ten of the daily kind, and the set made before deleting a book, a kind of its own.
        QCOMPARE(kept.size(), Backup::kKeptSets + 1);
        QCOMPARE(kept.first(), QFileInfo(r.set).fileName());
        QCOMPARE(kept.last(), QString("20200103-080000-start"));
        const QStringList all = folderNames(folder.path());
        QVERIFY(!all.contains("20200102-080000-start"));
        QVERIFY(!all.contains(".partial-20200113-080000-start"));
        QVERIFY(all.contains("20200114-080000-start"));
        QVERIFY(all.contains("notes"));
    }

    // Clean-up never follows a link: a link named like a set (or a half-written one) that
    // points at a folder of the user's stays with everything in it, and pruning a set
    // deletes only the set's own files.
    void cleanUpNeverFollowsLinks()
    {
        Folder folder;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath("victim");
        QVERIFY(QDir().mkpath(victim + "/sub"));
        for (const QString &name : kFiles + QStringList{"precious.txt", "sub/nested.txt"}) {
            QFile f(victim + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        const QString backups = Backup::folder(folder.path());
        QVERIFY(QDir().mkpath(backups));
        for (const char *link : {"20000101-000000-start", ".partial-20000102-000000-start"})
            QCOMPARE(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(backups + "/" + link).constData()), 0);
        for (int day = 1; day <= 11; ++day)
            fakeSet(folder.path(), QString("200101%1-080000-start").arg(day, 2, 10, QChar('0')));
        QFile note(backups + "/20010101-080000-start/notes.txt");   // the user's own file in a set
        QVERIFY(note.open(QIODevice::WriteOnly));
        note.close();
        QCOMPARE(Backup::completeSets(folder.path()).size(), 11);   // the link is no set

        TDataModule2 dm(folder.path());
        const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow(BackupKeeper::dailyReason());
        QVERIFY2(r.ok, qPrintable(r.error));

        QCOMPARE(QDir(victim).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"precious.txt", "qel_jz_f.dll", "qel_jz_m.dll", "qel_jz_u.dll", "sub"}));
        QVERIFY(QFile::exists(victim + "/sub/nested.txt"));
        QVERIFY(QFileInfo(backups + "/20000101-000000-start").isSymLink());
        QVERIFY(QFileInfo(backups + "/.partial-20000102-000000-start").isSymLink());
        // The two oldest sets went; the one holding the user's file keeps that file alone.
        QVERIFY(!QFileInfo::exists(backups + "/20010102-080000-start"));
        QCOMPARE(QDir(backups + "/20010101-080000-start").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"notes.txt"});
        QCOMPARE(Backup::completeSets(folder.path()).size(), Backup::kKeptSets);
    }

    // Sets are named by the real time. A set dated in the future neither makes every
    // start take another "daily" set nor pushes out real sets; each kind keeps its ten.
    void futureDatedSetBreaksNothing()
    {
        Folder folder;
        fakeSet(folder.path(), "20300101-000000-start");
        fakeSet(folder.path(), "20200101-000000-delete-book-3");
        fakeSet(folder.path(), "20200102-000000-before-restore");
        for (int day = 1; day <= 9; ++day)
            fakeSet(folder.path(), QString("202002%1-080000-start").arg(day, 2, 10, QChar('0')));
        Clock::set(QDateTime(QDate(2026, 12, 3), QTime(12, 0, 0)));
        TDataModule2 dm(folder.path());
        BackupKeeper *keeper = BackupKeeper::of(&dm);
        QVERIFY(keeper->startDaily(0));
        const BackupKeeper::Result r = waitFor(keeper);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY2(QFileInfo(r.set).fileName().startsWith(QString("20261203") + "-"), qPrintable(r.set));
        QVERIFY(!keeper->startDaily(0));   // today has its set
        for (int i = 0; i < 3; ++i)
            QVERIFY(keeper->makeNow(BackupKeeper::dailyReason()).ok);

        QStringList names;
        int daily = 0;
        for (const Backup::SetInfo &s : Backup::completeSets(folder.path())) {
            names << s.name;
            daily += Backup::kindOf(s.reason) == "start" && s.made.date().year() < 2030;
        }
        QVERIFY(names.contains("20300101-000000-start"));
        QVERIFY(names.contains("20200101-000000-delete-book-3"));
        QVERIFY(names.contains("20200102-000000-before-restore"));
        QCOMPARE(daily, Backup::kKeptSets);
        QVERIFY(!names.contains("20200201-080000-start"));
        QVERIFY(!names.contains("20200203-080000-start"));
        QVERIFY(names.contains("20200204-080000-start"));
    }

    // A restore whose rename fails part way takes back the renames already done; one cut
    // off (as by a crash) is taken back by whoever next finds its marker. Either way the
    // files are those from before, never a mix.
    void halfDoneRestoreIsTakenBack_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<bool>("crash");
        // Three files: renames 1-3 move the current ones aside, 4-6 put the set's in place.
        for (int n : {1, 2, 4, 5, 6}) {
            QTest::addRow("rename %d fails", n) << n << false;
            QTest::addRow("cut off at rename %d", n) << n << true;
        }
    }
    void halfDoneRestoreIsTakenBack()
    {
        QFETCH(int, failAt);
        QFETCH(bool, crash);
        const mode_t userMask = ::umask(022);
        const auto restoreMask = qScopeGuard([userMask] { ::umask(userMask); });
        Folder folder;
        QString set;
        {
            TDataModule2 dm(folder.path());
            addEntries(dm, 2);
            dm.conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('明细','1')");
            const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
            QVERIFY(r.ok);
            set = r.set;
            addEntries(dm, 3);
            dm.conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('之后','1')");
        }
        const QByteArray before = digest(folder.path());
        Backup::failRestoreRenameForTests(failAt, crash);
        const Backup::RestoreResult r = Backup::restore(folder.path(), set);
        Backup::failRestoreRenameForTests(0);
        QVERIFY(!r.ok);
        const QString marker = folder.file(Backup::restoreMarkerName());
        if (crash) {
            QVERIFY(QFile::exists(marker));
            // Under the usual umask 022 too, every file and folder of the data, the kept set,
            // the marker and the temporary copies included, is the user's alone.
            QDirIterator it(folder.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            int seen = 0;
            while (it.hasNext()) {
                const QString path = it.next();
                struct stat st {};
                QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
                QCOMPARE(QString::number(st.st_mode & 0777, 8) + " " + path,
                         QString(S_ISDIR(st.st_mode) ? "700 " : "600 ") + path);
                ++seen;
            }
            QVERIFY(seen >= 12);
            bool tookBack = false;
            QCOMPARE(Backup::takeBackUnfinishedRestore(folder.path(), &tookBack), QString());
            QVERIFY(tookBack);
        } else {
            QVERIFY2(r.error.contains("qel_jz_"), qPrintable(r.error));
        }
        QCOMPARE(digest(folder.path()), before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{"qel_jz_f.dll", "qel_jz_m.dll", "qel_jz_u.dll"}));
        TDataModule2 dm(folder.path());
        QCOMPARE(entries(folder.file("qel_jz_m.dll")), 5);
        QCOMPARE(scalar(folder.file("qel_jz_u.dll"), Schema::details(), "select count(*) from jz_ua"), QString("2"));
        // Nothing to take back any more; the restore itself now goes through.
        bool again = true;
        QCOMPARE(Backup::takeBackUnfinishedRestore(folder.path(), &again), QString());
        QVERIFY(!again);
    }

    // A kill in the middle of a save leaves a journal beside the ledger. The set kept before
    // a restore is made through the engine, which rolls that journal back first: the set
    // opens, checks out, holds what was saved, and can itself be restored.
    void keptSetAfterAKillCanUndoTheRestore()
    {
        Folder folder;
        QString set;
        {
            TDataModule2 dm(folder.path());
            addEntries(dm, 2);
            const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
            QVERIFY(r.ok);
            set = r.set;
            addEntries(dm, 5, "恢复前");
        }
        const QString ledger = folder.file("qel_jz_m.dll");
        const pid_t child = ::fork();
        if (child == 0) {
            // A save that spills into the file before it commits, then killed.
            Connection c("killed");
            c.open(ledger, Schema::ledger().password);
            c.exec("PRAGMA cache_size = 4");
            c.exec("BEGIN");
            for (int i = 0; i < 2000; ++i)
                c.exec("insert into jz_ab (b1,b2,b3,b14) values ('收入','2026- 5- 1',:a,'1')",
                       {{":a", QString(200, QChar(u'杀'))}});
            ::kill(::getpid(), SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QVERIFY(QFileInfo(ledger + "-journal").size() > 0);

        const Backup::RestoreResult r = Backup::restore(folder.path(), set);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(entries(ledger), 2);
        QCOMPARE(Backup::checkSet(r.keptSet), QString());
        QVERIFY(!QFile::exists(r.keptSet + "/qel_jz_m.dll-journal"));
        QCOMPARE(entries(r.keptSet), 7);

        const Backup::RestoreResult undo = Backup::restore(folder.path(), r.keptSet);
        QVERIFY2(undo.ok, qPrintable(undo.error));
        QCOMPARE(entries(ledger), 7);
        QCOMPARE(scalar(ledger, Schema::ledger(), "select count(*) from jz_ab where b3 = '恢复前'"), QString("5"));
    }

    // A failed set leaves no folder that could pass for a set, the files as they were,
    // and the program working.
    void failedSetLeavesNoSet_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("backup folder is a file") << "file";
        QTest::newRow("a file of the program closed") << "closed";
        QTest::newRow("a file no longer readable") << "garbage";
    }
    void failedSetLeavesNoSet()
    {
        QFETCH(QString, how);
        Folder folder;
        auto dm = std::make_unique<TDataModule2>(folder.path());
        addEntries(*dm, 5);
        if (how == "file") {
            QFile f(Backup::folder(folder.path()));
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (how == "closed") {
            dm->conn_jz_u.close();
        } else {
            // Replaced behind the program's back: its connection keeps the old file.
            QFile garbage(folder.file("garbage"));
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write(QByteArray(4096, 'g'));
            garbage.close();
            QVERIFY(::rename(qPrintable(folder.file("garbage")), qPrintable(folder.file("qel_jz_u.dll"))) == 0);
        }
        const QByteArray before = digest(folder.path());

        BackupKeeper *keeper = BackupKeeper::of(dm.get());
        const BackupKeeper::Result r = keeper->makeNow("test");
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        if (how == "file")
            QVERIFY2(r.error.contains(Backup::folder(folder.path())), qPrintable(r.error));
        else
            QVERIFY2(r.error.contains("qel_jz_u.dll"), qPrintable(r.error));
        QVERIFY(!keeper->busy());
        QVERIFY(Backup::completeSets(folder.path()).isEmpty());
        if (how != "file")
            QCOMPARE(folderNames(folder.path()), QStringList());
        QCOMPARE(digest(folder.path()), before);

        addEntries(*dm, 1);
        QCOMPARE(entries(folder.file("qel_jz_m.dll")), 6);
    }

    // A set made now (before a book is deleted) takes the place of a background one.
    void setMadeNowReplacesBackgroundSet()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 20000);
        BackupKeeper *keeper = BackupKeeper::of(&dm);
        QSignalSpy finished(keeper, &BackupKeeper::finished);
        bool asked = false, busyWhenAsked = false;
        BackupKeeper::Result r;
        connect(keeper, &BackupKeeper::progress, this, [&](int permille) {
            if (asked || permille == 0 || permille >= 900)   // while the ledger is being copied
                return;
            asked = true;
            QTimer::singleShot(0, this, [&] {
                busyWhenAsked = keeper->busy();
                r = keeper->makeNow(BackupKeeper::deletionReason("3"));
            });
        });
        QVERIFY(keeper->startDaily(0));
        QTRY_VERIFY_WITH_TIMEOUT(!r.reason.isEmpty(), 30000);
        QVERIFY(busyWhenAsked);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().value<BackupKeeper::Result>().reason, QString("delete-book-3"));
        QCOMPARE(folderNames(folder.path()), QStringList{QFileInfo(r.set).fileName()});
        QCOMPARE(entries(r.set), 20000);
        // Today has a set now; the start of the day makes no second one.
        QVERIFY(!keeper->startDaily(0));
    }

    // The background set is dropped late, its copies already on their way to disk.
    void setMadeNowAtTheEndOfABackgroundSet()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        addEntries(dm, 5000);
        BackupKeeper *keeper = BackupKeeper::of(&dm);
        bool asked = false;
        BackupKeeper::Result r;
        connect(keeper, &BackupKeeper::progress, this, [&](int permille) {
            if (asked || permille < 900)
                return;
            asked = true;
            // After the next slice, which ends the copies and hands them to the disk.
            QTimer::singleShot(0, this, [&] {
                QTimer::singleShot(0, this, [&] {
                    QThread::msleep(300);
                    r = keeper->makeNow("now");
                });
            });
        });
        QVERIFY(keeper->startDaily(0));
        QTRY_VERIFY_WITH_TIMEOUT(!r.reason.isEmpty(), 30000);
        QVERIFY2(r.ok, qPrintable(r.error));
        QTRY_VERIFY(!keeper->busy());
        QCOMPARE(folderNames(folder.path()).size(), Backup::completeSets(folder.path()).size());
        QCOMPARE(entries(r.set), 5000);
    }

    void halfWrittenSetsAreNeverListed()
    {
        Folder folder;
        fakeSet(folder.path(), ".partial-20260101-080000-start");
        fakeSet(folder.path(), "20260102-080000-start", {"qel_jz_m.dll", "qel_jz_u.dll"});
        fakeSet(folder.path(), "20260103-080000-start");
        fakeSet(folder.path(), "20260104-0800-start");
        const QList<Backup::SetInfo> sets = Backup::completeSets(folder.path());
        QCOMPARE(sets.size(), 1);
        QCOMPARE(sets[0].name, QString("20260103-080000-start"));
        QCOMPARE(sets[0].made, QDateTime(QDate(2026, 1, 3), QTime(8, 0)));
        QVERIFY(!Backup::isSetName(".partial-20260101-080000-start"));
    }

    // A set is restored only when every file opens with its password and checks out.
    void checkSetRefusesBadFiles_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << "missing" << "qel_jz_f.dll";
        QTest::newRow("garbage") << "garbage" << "qel_jz_u.dll";
        QTest::newRow("another key") << "swap" << "qel_jz_m.dll";
        QTest::newRow("truncated") << "truncate" << "qel_jz_m.dll";
        QTest::newRow("empty") << "empty" << "qel_jz_f.dll";
    }
    void checkSetRefusesBadFiles()
    {
        QFETCH(QString, damage);
        QFETCH(QString, file);
        Folder folder;
        QString set;
        {
            TDataModule2 dm(folder.path());
            addEntries(dm, 2000);
            const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
            QVERIFY(r.ok);
            set = r.set;
        }
        QCOMPARE(Backup::checkSet(set), QString());
        const QString path = set + "/" + file;
        QFile f(path);
        if (damage == "missing") {
            QVERIFY(f.remove());
        } else if (damage == "swap") {
            QVERIFY(f.remove());
            QVERIFY(QFile::copy(set + "/qel_jz_f.dll", path));
        } else if (damage == "truncate") {
            QVERIFY(f.resize(f.size() / 2));
        } else {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == "garbage")
                f.write(QByteArray(5120, 'g'));
        }
        f.close();
        const QString why = Backup::checkSet(set);
        QVERIFY(!why.isEmpty());
        QVERIFY2(why.contains(file), qPrintable(why));

        const QByteArray before = digest(folder.path());
        const Backup::RestoreResult r = Backup::restore(folder.path(), set);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, why);
        QCOMPARE(digest(folder.path()), before);
        QCOMPARE(Backup::completeSets(folder.path()).size(), damage == "missing" ? 0 : 1);
    }

    void restorePutsTheSetBackAndKeepsWhatWasThere()
    {
        Folder folder;
        QString set;
        {
            TDataModule2 dm(folder.path());
            addEntries(dm, 2);
            const BackupKeeper::Result r = BackupKeeper::of(&dm)->makeNow("test");
            QVERIFY(r.ok);
            set = r.set;
            addEntries(dm, 5, "恢复后不见");
            dm.conn_jz_u.exec("update jz_ub set ub2 = '1' where ub3 = '8'");
        }
        const QByteArray setDigest = digest(set);
        // A journal left by a crash belongs to the old file, never to the restored one.
        QFile journal(folder.file("qel_jz_m.dll-journal"));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write("stale");
        journal.close();

        const Backup::RestoreResult r = Backup::restore(folder.path(), set);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(digest(folder.path()), setDigest);
        QVERIFY(!QFile::exists(folder.file("qel_jz_m.dll-journal")));
        QVERIFY(!QFile::exists(folder.file("qel_jz_m.dll.restore")));
        QVERIFY(QFileInfo(r.keptSet).fileName().endsWith("-before-restore"));
        // Made through the engine, as every set: it opens and checks out like one.
        QCOMPARE(Backup::checkSet(r.keptSet), QString());
        QVERIFY(!QFile::exists(r.keptSet + "/qel_jz_m.dll-journal"));
        QCOMPARE(scalar(r.keptSet + "/qel_jz_u.dll", Schema::details(), "select ub2 from jz_ub"), QString("1"));

        TDataModule2 dm(folder.path());
        QCOMPARE(entries(folder.file("qel_jz_m.dll")), 2);
        QCOMPARE(scalar(folder.file("qel_jz_u.dll"), Schema::details(), "select ub2 from jz_ub"), QString("0"));
        QCOMPARE(entries(r.keptSet), 7);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
