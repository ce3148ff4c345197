#include <QtTest>
#include <QProcess>
#include <QSettings>
#include <QSvgRenderer>
#include "test_support.h"
#include "data/backup.h"

namespace {

QProcessEnvironment envFor(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

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

// The value of a key of the [Desktop Entry] group.
QString desktopValue(const QString &path, const QString &key)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool inGroup = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith('['))
            inGroup = line == "[Desktop Entry]";
        else if (inGroup && line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    }
    return QString();
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    void installedProgramRuns()
    {
        QTemporaryDir prefixDir;
        const QString prefix = prefixDir.path() + "/安装 目录";   // blanks and non-ASCII in the path
        QProcess install;
        install.start(TALLYRUE_CMAKE, {"--install", TALLYRUE_BUILD_DIR, "--prefix", prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        // The programs, the desktop entry and the icon it names.
        for (const QString &bin : {"/bin/tallyrue", "/bin/tallyrue-restore"})
            QVERIFY2(QFileInfo(prefix + bin).isExecutable(), qPrintable(bin));
        const QString entry = prefix + "/share/applications/tallyrue.desktop";
        QVERIFY(QFileInfo::exists(entry));
        QCOMPARE(desktopValue(entry, "Type"), QString("Application"));
        QCOMPARE(desktopValue(entry, "Name"), QString("Tallyrue"));
        QCOMPARE(desktopValue(entry, "TryExec"), prefix + "/bin/tallyrue");
        QCOMPARE(desktopValue(entry, "Exec"), "\"" + prefix + "/bin/tallyrue\"");
        const QString icon = desktopValue(entry, "Icon");
        QCOMPARE(icon, QString("tallyrue"));
        const QString icons = prefix + "/share/icons/hicolor/";
        QVERIFY(QSvgRenderer(icons + "scalable/apps/" + icon + ".svg").isValid());
        for (int size : {48, 128, 256}) {
            const QImage png(icons + QString("%1x%1/apps/").arg(size) + icon + ".png");
            QCOMPARE(png.size(), QSize(size, size));
        }

        // The installed program starts on a fresh home, and a second start sees the lock.
        QTemporaryDir home;
        const QString dataDir = home.path() + "/share/Tallyrue";
        QProcess first;
        first.setProcessEnvironment(envFor(home.path()));
        first.start(desktopValue(entry, "TryExec"), {});
        QVERIFY(first.waitForStarted());
        QVERIFY(waitForOwner(dataDir + "/tallyrue_qel.lock", first.processId()));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dataDir + "/qel_jz_u.dll"), 10000);
        for (const QString &file : {"qel_jz_m.dll", "qel_jz_f.dll"})
            QVERIFY(QFileInfo::exists(dataDir + "/" + file));

        QProcess second;
        second.setProcessEnvironment(envFor(home.path()));
        second.start(prefix + "/bin/tallyrue", {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // The running program writes its start-of-day set; the installed restore tool
        // will not put it back while the program runs.
        QTRY_COMPARE_WITH_TIMEOUT(Backup::completeSets(dataDir).size(), 1, 20000);
        QProcess restore;
        restore.setProcessEnvironment(envFor(home.path()));
        restore.start(prefix + "/bin/tallyrue-restore", {Backup::completeSets(dataDir).first().name});
        QVERIFY(restore.waitForFinished(10000));
        QCOMPARE(restore.exitCode(), 2);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        if (!first.waitForFinished(5000)) {
            first.kill();
            first.waitForFinished(5000);
        }
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
