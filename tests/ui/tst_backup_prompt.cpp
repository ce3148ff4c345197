#include <QtTest>
#include <QApplication>
#include <QWidget>
#include "test_support.h"
#include "data/backup.h"
#include "data/data_module.h"
#include "ui/backup_prompt.h"
#include "ui/message_box.h"

using Folder = testsupport::DataFolder;

namespace {

// Makes the backup folder unusable: a file stands where it would be.
void blockBackups(const Folder &folder)
{
    QFile f(Backup::folder(folder.path()));
    QVERIFY(f.open(QIODevice::WriteOnly));
}

int entryCount(TDataModule2 &dm)
{
    Query q(&dm.conn_jz_m, "n");
    q.setSql("select count(*) from jz_ab");
    q.open();
    return q.value(0, 0).toInt();
}

} // namespace

class TestBackupPrompt : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void beforeDeletionWritesASetAndAsksNothing()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        QWidget window;
        QVERIFY(ui::backupBeforeDeletion(&window, &dm, "12"));
        QVERIFY(msg::shown().isEmpty());
        const QList<Backup::SetInfo> sets = Backup::completeSets(folder.path());
        QCOMPARE(sets.size(), 1);
        QCOMPARE(sets[0].reason, QString("delete-book-12"));
    }

    // Without a set the user decides, knowing that the book cannot come back.
    void failedSetBeforeDeletionAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goOn");
        QTest::newRow("cancel keeps the book") << int(QMessageBox::Cancel) << false;
        QTest::newRow("ok deletes all the same") << int(QMessageBox::Ok) << true;
    }
    void failedSetBeforeDeletionAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, goOn);
        Folder folder;
        TDataModule2 dm(folder.path());
        blockBackups(folder);
        QWidget window;
        msg::setNextAnswer(QMessageBox::StandardButton(answer));
        QCOMPARE(ui::backupBeforeDeletion(&window, &dm, "3"), goOn);
        QCOMPARE(msg::shown().size(), 1);
        const msg::Shown box = msg::lastShown();
        QCOMPARE(box.kind, msg::Kind::Question);
        QCOMPARE(box.caption, QString("删除确认"));
        QVERIFY2(box.text.startsWith("删除前的备份未能完成"), qPrintable(box.text));
        QVERIFY2(box.text.contains(Backup::folder(folder.path())), qPrintable(box.text));
        QVERIFY(box.text.endsWith("仍要删除此账本吗?"));
    }

    void failedDailySetIsReportedOnce()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        blockBackups(folder);
        QWidget window;
        ui::startDailyBackup(&window, &dm, 0);
        QTRY_COMPARE(msg::shown().size(), 1);
        const msg::Shown box = msg::lastShown();
        QCOMPARE(box.kind, msg::Kind::Information);
        QVERIFY2(box.text.startsWith("今天的自动备份未能完成"), qPrintable(box.text));
        QVERIFY(box.text.contains(Backup::folder(folder.path())));

        // The program goes on: a later set made before a deletion reports on its own.
        dm.conn_jz_m.exec("insert into jz_ab (b1,b14) values ('收入','1')");
        QCOMPARE(entryCount(dm), 1);
        msg::setNextAnswer(QMessageBox::Cancel);
        QVERIFY(!ui::backupBeforeDeletion(&window, &dm, "2"));
        QCOMPARE(msg::shown().size(), 2);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Question);
    }

    void dailySetSaysNothingWhenItWorks()
    {
        Folder folder;
        TDataModule2 dm(folder.path());
        QWidget window;
        ui::startDailyBackup(&window, &dm, 0);
        QTRY_COMPARE(Backup::completeSets(folder.path()).size(), 1);
        QTRY_VERIFY(!BackupKeeper::of(&dm)->busy());
        QVERIFY(msg::shown().isEmpty());
        // A second start the same day makes none.
        ui::startDailyBackup(&window, &dm, 0);
        QVERIFY(!BackupKeeper::of(&dm)->busy());
        QTest::qWait(50);
        QCOMPARE(Backup::completeSets(folder.path()).size(), 1);
    }
};

QTEST_MAIN(TestBackupPrompt)
#include "tst_backup_prompt.moc"
