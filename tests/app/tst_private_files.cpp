// The data folder is private to its user: whatever the user's umask, every folder the
// programs make there is 0700 and every file 0600 (the files' keys are public), after a
// first start, a backup set, a restore and an INI write; a start tightens what an earlier
// version left open. An export gets the mode the user's own umask gives.
//
// Run as root (as CI does), each step runs as an unprivileged user with umask 022, and a
// second user ("nobody") then tries to read every file: none opens. Without root the
// steps run as the current user and only the modes are checked.
#include <QtTest>
#include <QDirIterator>
#include <QProcess>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include "test_support.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/data_module.h"
#include "data/private_files.h"
#include "printing/output_file.h"

namespace {

constexpr uid_t kUser = 4242;   // the owner of the data, no one's account
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

bool asRoot() { return ::geteuid() == 0; }

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

QStringList everything(const QString &root)
{
    QStringList out{root};
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext())
        out << it.next();
    return out;
}

// Entries under root that are not private: "path mode" each.
QStringList notPrivate(const QString &root)
{
    QStringList out;
    for (const QString &path : everything(root)) {
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        const mode_t want = S_ISDIR(st.st_mode) ? 0700 : 0600;
        if ((st.st_mode & 07777) != want)
            out << QStringLiteral("%1 %2").arg(path).arg(st.st_mode & 07777, 0, 8);
    }
    return out;
}

// What user "nobody" can open of the paths: none should open.
QStringList readableByNobody(const QStringList &paths)
{
    QStringList out;
    for (const QString &path : paths) {
        const QByteArray name = QFile::encodeName(path);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)
                ::_exit(99);
            const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            ::_exit(fd >= 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            out << path;
    }
    return out;
}

void chownTree(const QString &root, uid_t uid)
{
    for (const QString &path : everything(root))
        ::lchown(QFile::encodeName(path).constData(), uid, uid);
}

struct Home {
    QTemporaryDir tmp;
    QString home = tmp.path();
    QString data = home + "/share/Tallyrue";

    Home()
    {
        // Only the modes the programs give keep others out: the way down is open.
        ::chmod(QFile::encodeName(home).constData(), 0755);
        QDir().mkpath(home + "/share");
        ::chmod(QFile::encodeName(home + "/share").constData(), 0755);
        if (asRoot())
            chownTree(home, kUser);
    }

    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("HOME", home);
        e.insert("XDG_DATA_HOME", home + "/share");
        e.insert("XDG_CACHE_HOME", home + "/cache");
        e.insert("XDG_CONFIG_HOME", home + "/config");
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.remove("XDG_RUNTIME_DIR");
        return e;
    }

    // Runs a program as the data's owner, with the usual umask 022.
    int run(const QString &program, const QStringList &args, QProcessEnvironment extra = {}) const
    {
        QProcess p;
        QProcessEnvironment e = env();
        for (const QString &k : extra.keys())
            e.insert(k, extra.value(k));
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(home);
        p.setChildProcessModifier([] {
            ::umask(022);
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kUser) != 0 || ::setuid(kUser) != 0))
                ::_exit(99);
        });
        p.start(program, args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (p.exitCode() != 0)
            qWarning("%s", p.readAllStandardError().constData());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    }
    int step(const QString &what, const QStringList &args = {}) const
    {
        return run(QCoreApplication::applicationFilePath(), QStringList{"--step", what} + args);
    }
    int start() const
    {
        QProcessEnvironment e;
        e.insert("TALLYRUE_EXIT_WHEN_PAINTED", "1");
        return run(TALLYRUE_BINARY, {}, e);
    }
};

// The steps the data's owner takes, in a process of their own (the umask is the process's).
int runStep(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testsupport::initCoreApplication();
    PrivateFiles::restrictUmask();   // as both programs do first
    const QString what = QString::fromLocal8Bit(argv[2]);
    const QString dir = DataFolder::path();
    if (what == "backup") {
        TDataModule2 dm(dir);
        return BackupKeeper::of(&dm)->makeNow(BackupKeeper::dailyReason()).ok ? 0 : 3;
    }
    if (what == "ini")
        return DataFolder::setIniValue(dir + "/iset.ini", "pro_set", "run", "0") ? 0 : 3;
    if (what == "export") {
        report::OutputFile out(QString::fromLocal8Bit(argv[3]));
        QString message;
        if (!out.create(&message))
            return 3;
        QFile f(out.partPath());
        if (!f.open(QIODevice::WriteOnly) || f.write("a,b\r\n") != 5)
            return 3;
        f.close();
        return out.commit(&message) ? 0 : 3;
    }
    return 4;
}

} // namespace

class TestPrivateFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    // Each step as the user takes it, the modes after it, and nobody reading nothing.
    void everyStepLeavesTheDataPrivate()
    {
        Home h;
        QCOMPARE(h.start(), 0);
        QVERIFY(QFile::exists(h.data + "/qel_jz_m.dll"));
        QCOMPARE(notPrivate(h.data), QStringList());

        // backup/ a link to a folder on another disk, made with the usual 0755.
        QTemporaryDir disk;
        const QString elsewhere = disk.path() + "/sets";
        QVERIFY(QDir().mkpath(elsewhere));
        ::chmod(QFile::encodeName(disk.path()).constData(), 0755);
        ::chmod(QFile::encodeName(elsewhere).constData(), 0755);
        if (asRoot())
            chownTree(disk.path(), kUser);
        QCOMPARE(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(h.data + "/backup").constData()), 0);
        QCOMPARE(h.step("backup"), 0);
        QCOMPARE(h.step("ini"), 0);
        const QList<Backup::SetInfo> sets = Backup::completeSets(h.data);
        QCOMPARE(sets.size(), 1);
        QCOMPARE(notPrivate(h.data), QStringList());
        QCOMPARE(modeOf(elsewhere) & 07777, mode_t(0700));

        QCOMPARE(h.run(TALLYRUE_RESTORE_BINARY, {sets.first().name}), 0);
        QCOMPARE(Backup::completeSets(h.data).size(), 2);   // with the set kept before it
        QCOMPARE(notPrivate(h.data), QStringList());

        QCOMPARE(h.step("export", {h.home + "/report.csv"}), 0);
        QCOMPARE(modeOf(h.home + "/report.csv") & 07777, mode_t(0644));   // the user's umask

        if (!asRoot())
            QSKIP("Checking that another user reads nothing needs root.");
        QStringList files;
        for (const QString &path : everything(h.data))
            files << path;
        QVERIFY(files.size() > 10);
        QCOMPARE(readableByNobody(files), QStringList());
    }

    // A start tightens what an earlier version (or umask 022) left open; an entry of
    // another owner is left as it is, and the start goes on.
    void startTightensWhatWasLeftOpen()
    {
        Home h;
        QCOMPARE(h.start(), 0);
        QCOMPARE(h.step("backup"), 0);
        QCOMPARE(h.step("ini"), 0);
        for (const QString &path : everything(h.data))
            ::chmod(QFile::encodeName(path).constData(), QFileInfo(path).isDir() ? 0755 : 0644);
        QFile other(h.data + "/check.ini");   // someone else's file in the folder
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("[data_set]\none=0\n");
        other.close();
        ::chmod(QFile::encodeName(other.fileName()).constData(), 0644);
        const bool foreign = asRoot();
        if (!foreign)
            ::chmod(QFile::encodeName(other.fileName()).constData(), 0600);
        else
            ::lchown(QFile::encodeName(other.fileName()).constData(), 0, 0);

        QCOMPARE(h.start(), 0);
        QStringList open = notPrivate(h.data);
        if (foreign) {
            QCOMPARE(open, QStringList{other.fileName() + " 644"});
            open.clear();
        }
        QCOMPARE(open, QStringList());
    }
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--step") == 0)
        return runStep(argc, argv);
    QApplication app(argc, argv);
    TestPrivateFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_private_files.moc"
