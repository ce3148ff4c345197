#include <QtTest>
#include <QCryptographicHash>
#include <QProcess>
#include "test_support.h"

using Folder = testsupport::DataFolder;

namespace {

QProcessEnvironment envFor(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

QByteArray folderDigest(const QString &dir)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString &name : {"qel_jz_m.dll", "qel_jz_f.dll", "qel_jz_u.dll"}) {
        QFile f(dir + "/" + name);
        if (f.open(QIODevice::ReadOnly))
            h.addData(f.readAll());
        h.addData(QFileInfo(f).lastModified().toString(Qt::ISODateWithMs).toUtf8());
    }
    return h.result();
}

// Waits until the running copy has written its pid into the lock file.
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

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    void secondStartEndsAtOnceAndTouchesNothing()
    {
        Folder folder;
        const QString home = QDir(folder.path()).absoluteFilePath("../..");
        const QString lock = folder.file("tallyrue_qel.lock");

        QProcess first;
        first.setProcessEnvironment(envFor(QDir::cleanPath(home)));
        first.start(TALLYRUE_BINARY, {});
        QVERIFY(first.waitForStarted());
        QVERIFY(waitForOwner(lock, first.processId()));
        for (int i = 0; i < 100 && !QFile::exists(folder.file("qel_jz_u.dll")); ++i)
            QTest::qWait(50);
        QTest::qWait(300);
        const QByteArray before = folderDigest(folder.path());

        QProcess second;
        second.setProcessEnvironment(envFor(QDir::cleanPath(home)));
        second.start(TALLYRUE_BINARY, {});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(folderDigest(folder.path()), before);

        // A crashed run leaves its lock behind; the next start takes it over.
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QVERIFY(QFile::exists(lock));
        QProcess third;
        third.setProcessEnvironment(envFor(QDir::cleanPath(home)));
        third.start(TALLYRUE_BINARY, {});
        QVERIFY(third.waitForStarted());
        QVERIFY(waitForOwner(lock, third.processId()));
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        third.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
