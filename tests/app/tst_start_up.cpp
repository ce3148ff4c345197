// What a start does with a data folder or a database file it cannot use: one clear
// message naming the folder or file, a non-zero exit status, every file as it was. Only a
// lock held by a live copy ends the start silently.
//
// Cases that need file permissions run the start in a child process (this binary again,
// with --start-child), as the unprivileged user "nobody" when the tests run as root. The
// child answers its message boxes itself and prints what they said.
#include <QtTest>
#include <QCryptographicHash>
#include <QDialog>
#include <QDirIterator>
#include <QLockFile>
#include <QProcess>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include "test_support.h"
#include "app/modal_stays_up.h"
#include "app/program.h"
#include "app/start_up.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/schema.h"
#include "ui/message_box.h"

using Folder = testsupport::DataFolder;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

const QList<Schema::DataFile> &files()
{
    static const QList<Schema::DataFile> all = Schema::all();
    return all;
}

// Every entry of a folder: name, kind, permissions and content, to prove nothing changed.
QMap<QString, QString> snapshot(const QString &dir)
{
    QMap<QString, QString> out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo fi(path);
        QString desc = QString::number(int(fi.permissions()), 16);
        if (fi.isFile()) {
            QFile f(path);
            // Root reads what the child could not.
            if (f.open(QIODevice::ReadOnly))
                desc += QLatin1Char(' ') + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        } else {
            desc += fi.isDir() ? QStringLiteral(" dir") : QStringLiteral(" other");
        }
        out.insert(fi.fileName(), desc);
    }
    return out;
}

void chownTree(const QString &root)
{
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    ::lchown(QFile::encodeName(root).constData(), kNobody, kNogroup);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNogroup);
}

struct ChildRun {
    int status = -1;
    QStringList boxes;   // texts of the error boxes shown
    bool ready = false;
};

// Runs a whole start in a child process on the data folder below home.
ChildRun startChild(const QString &home)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home);
    if (::geteuid() == 0) {
        p.setChildProcessModifier([] {
            // Permissions mean nothing to root: start as a user they apply to.
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)
                ::_exit(99);
        });
    }
    p.start(QCoreApplication::applicationFilePath(), {"--start-child"});
    ChildRun run;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("BOX "))
            run.boxes << QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(4)));
        else if (line == "READY")
            run.ready = true;
    }
    return run;
}

// The child side: the start main() runs, with boxes answered and printed.
int runChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    testsupport::initApplication();
    int status;
    {
        StartUp::Session session;
        status = StartUp::begin(session);
    }
    QTextStream out(stdout);
    for (const msg::Shown &box : msg::shown())
        if (box.kind == msg::Kind::Error)
            out << "BOX " << box.text.toUtf8().toPercentEncoding() << '\n';
    if (status < 0)
        out << "READY\n";
    out.flush();
    return status < 0 ? 0 : status;
}

// A complete set of files made by a first start.
void makeSet(const QString &dir)
{
    TDataModule2 dm(dir);
    dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values "
                      "('收入','2026-12-10','摘要','单位','1.00','1.00','0.00','1')");
}

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void liveCopyEndsTheStartSilently();
    void unusableFolderOrLock_data();
    void unusableFolderOrLock();
    void badFiles_data();
    void badFiles();
    void folderNameNotInTheFileNameEncoding();
    void titlesStandAsGiven();
    void modalDialogIsNeverMinimised();
};

// A data folder whose name is not valid in the file-name encoding would be read as
// another folder, an empty one: the start refuses with one message naming it.
void TestStartUp::folderNameNotInTheFileNameEncoding()
{
    Folder folder;
    const QString home = QDir::cleanPath(folder.path() + "/../..");
    const QByteArray bad = QFile::encodeName(home) + "/da\xfft";
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", bad);
    const auto before = snapshot(home);
    int status = -2;
    {
        StartUp::Session session;
        status = StartUp::begin(session);
        QVERIFY(!session.program);
    }
    qputenv("XDG_DATA_HOME", saved);
    QCOMPARE(status, 1);
    QCOMPARE(msg::shown().size(), 1);
    QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
    QVERIFY2(msg::lastShown().text.contains(home + "/da\\xfft/Tallyrue"), qPrintable(msg::lastShown().text));
    QCOMPARE(snapshot(home), before);   // no folder made, here or under the mangled name
}

void TestStartUp::liveCopyEndsTheStartSilently()
{
    Folder folder;
    makeSet(folder.path());
    QLockFile running(folder.file("tallyrue_qel.lock"));
    QVERIFY(running.tryLock(0));
    const auto before = snapshot(folder.path());
    StartUp::Session session;
    QCOMPARE(StartUp::begin(session), 0);
    QVERIFY(!session.program);
    QCOMPARE(msg::shown().size(), 0);
    QCOMPARE(snapshot(folder.path()), before);
}

void TestStartUp::unusableFolderOrLock_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("named");   // what the message must name, below the home folder
    QTest::newRow("data folder is a file") << "folder-file" << "share/Tallyrue";
    QTest::newRow("a parent of the data folder is a file") << "parent-file" << "share";
    QTest::newRow("a folder where the lock file goes") << "lock-dir" << "share/Tallyrue/tallyrue_qel.lock";
}

void TestStartUp::unusableFolderOrLock()
{
    QFETCH(QString, damage);
    QFETCH(QString, named);
    Folder folder;
    const QString data = folder.path();
    const QString home = QDir::cleanPath(data + "/../..");
    QDir(data).removeRecursively();
    auto writeFile = [](const QString &path, const QByteArray &bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    if (damage == "folder-file") {
        writeFile(data, "not a folder");
    } else if (damage == "parent-file") {
        QDir(home + "/share").removeRecursively();
        writeFile(home + "/share", "not a folder");
    } else {
        QVERIFY(QDir().mkpath(data));
        makeSet(data);
        QVERIFY(QDir(data).mkdir("tallyrue_qel.lock"));
    }
    const QString parent = QFileInfo(home + "/" + named).absolutePath();
    const auto before = snapshot(parent);

    StartUp::Session session;
    QCOMPARE(StartUp::begin(session), 1);
    QVERIFY(!session.program);
    QCOMPARE(msg::shown().size(), 1);
    QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
    QVERIFY2(msg::lastShown().text.contains(home + "/" + named), qPrintable(msg::lastShown().text));
    QCOMPARE(snapshot(parent), before);
}

void TestStartUp::badFiles_data()
{
    QTest::addColumn<int>("file");        // index into files(), -1: the folder
    QTest::addColumn<QString>("damage");
    QTest::newRow("intact set starts") << -1 << "none";
    QTest::newRow("read-only data folder") << -1 << "read-only folder";
    const QStringList damages{"garbage", "another key", "truncated", "no read permission",
                              "no write permission", "missing"};
    for (int i = 0; i < files().size(); ++i)
        for (const QString &d : damages)
            QTest::addRow("%s: %s", qPrintable(files()[i].fileName), qPrintable(d)) << i << d;
}

void TestStartUp::badFiles()
{
    QFETCH(int, file);
    QFETCH(QString, damage);
    Folder folder;
    const QString data = folder.path();
    const QString home = QDir::cleanPath(data + "/../..");
    makeSet(data);
    if (::geteuid() == 0)
        chownTree(home);
    const QString path = file >= 0 ? folder.file(files()[file].fileName) : data;
    const auto chmodTo = [](const QString &p, mode_t mode) {
        QCOMPARE(::chmod(QFile::encodeName(p).constData(), mode), 0);
    };
    if (damage == "garbage") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(8192, '\xa5'));
    } else if (damage == "another key") {
        QVERIFY(QFile::remove(path));
        Connection c("other");
        c.open(path, "not the key of this file", true);
        (file == 0 ? Schema::createLedger : file == 1 ? Schema::createPhrases : Schema::createDetails)(c);
        c.close();
        if (::geteuid() == 0)
            chownTree(home);
    } else if (damage == "truncated") {
        QFile f(path);
        QVERIFY(f.resize(f.size() / 2));
    } else if (damage == "no read permission") {
        chmodTo(path, 0200);
    } else if (damage == "no write permission") {
        chmodTo(path, 0444);
    } else if (damage == "missing") {
        QVERIFY(QFile::remove(path));
    } else if (damage == "read-only folder") {
        chmodTo(path, 0555);
    }
    const auto before = snapshot(data);

    const ChildRun run = startChild(home);
    // Give the cleanup back its rights.
    chmodTo(data, 0755);
    if (damage == "none") {
        QCOMPARE(run.status, 0);
        QVERIFY(run.ready);
        QCOMPARE(run.boxes, QStringList());
        return;
    }
    QCOMPARE(run.status, 1);
    QVERIFY(!run.ready);
    QCOMPARE(run.boxes.size(), 1);
    QVERIFY2(run.boxes[0].contains(path + (file >= 0 ? "\n" : "")), qPrintable(run.boxes[0]));
    QCOMPARE(snapshot(data).keys(), before.keys());
    QCOMPARE(snapshot(data), before);
}

// The windowing system appends an explicitly set display name to every title: the program
// sets none, so "新增收入" reads "新增收入" and not "新增收入 — Tallyrue".
void TestStartUp::titlesStandAsGiven()
{
    StartUp::configureApplication(*qApp);
    QCOMPARE(QApplication::applicationName(), QString("Tallyrue"));
    // Without a display name of its own the display name follows the name.
    QApplication::setApplicationName(QStringLiteral("probe"));
    QCOMPARE(QApplication::applicationDisplayName(), QString("probe"));
    testsupport::initApplication();
}

// The window manager's minimise button on a modal dialog puts it straight back.
void TestStartUp::modalDialogIsNeverMinimised()
{
    ModalStaysUp::install();
    QWidget owner;
    owner.show();
    QDialog dialog(&owner);
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setWindowState(Qt::WindowMinimized);
    QVERIFY(!dialog.isMinimized());
    QVERIFY(dialog.isVisible());
    QDialog plain;   // a window that is not modal keeps the user's choice
    plain.show();
    plain.setWindowState(Qt::WindowMinimized);
    QVERIFY(plain.isMinimized());
}

int main(int argc, char **argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--start-child") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TestStartUp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_start_up.moc"
