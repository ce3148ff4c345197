// The program killed at any moment (SIGKILL, as a crash or a power cut of the process
// would) while it saves entry after entry through the new-income dialog: afterwards
// every file passes the engine's integrity check, every save that had completed is
// there, and no entry is half written.
//
// The saving program is this binary again (--save-burst). Some runs are killed after a
// random time, others from inside the file layer at a chosen write, sync or delete.
#include <QtTest>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <unistd.h>
#include "fault_vfs.h"
#include "test_support.h"
#include "app/program.h"
#include "app/start_up.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/message_box.h"

using Folder = testsupport::DataFolder;

namespace {

// What entry n holds when its save completes.
QString summaryOf(long n) { return QStringLiteral("k%1").arg(n); }
QString partyOf(long n) { return QStringLiteral("u%1").arg(n); }
QString totalOf(long n) { return QStringLiteral("%1.25").arg(n); }

void say(const QByteArray &line)
{
    const QByteArray l = line + '\n';
    // Unbuffered: what was said before the kill must reach the test.
    if (::write(1, l.constData(), size_t(l.size())) != l.size())
        ::_exit(5);
}

// The child: start as main() does, then save entries first, first+1, ... until killed.
int saveBurst(int argc, char **argv)
{
    const long first = QByteArray(argv[2]).toLong();
    const long killAt = QByteArray(argv[3]).toLong();
    faultvfs::install(killAt > 0 ? faultvfs::Fault::Kill : faultvfs::Fault::None, killAt);
    QApplication app(argc, argv);
    testsupport::initApplication();
    StartUp::Session session;
    if (StartUp::begin(session) >= 0) {
        for (const msg::Shown &box : msg::shown())
            say("BOX " + box.text.toUtf8().toPercentEncoding());
        return 3;
    }
    TDataModule2 &dm = *session.program->data();
    BookRefresh::full(dm);
    say("READY " + QByteArray::number(qint64(faultvfs::operations())));
    EntryDialog *dialog = session.program->newIncome();
    auto *summary = dialog->findChild<QLineEdit *>("bsSkinEdit4");
    auto *party = dialog->findChild<QLineEdit *>("bsSkinEdit5");
    auto *total = dialog->findChild<AmountField *>("bsSkinEdit1");
    auto *save = dialog->findChild<QPushButton *>("bsSkinButton1");
    for (long n = first;; ++n) {
        dialog->setBookKey(BookRefresh::bookKey(dm));
        dialog->show();
        QTest::keyClicks(summary, summaryOf(n));
        QTest::keyClicks(party, partyOf(n));
        total->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(total, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(total, totalOf(n));
        QTest::mouseClick(save, Qt::LeftButton);
        if (dialog->isVisible() || !msg::shown().isEmpty()) {
            say("FAILED " + msg::lastShown().text.toUtf8().toPercentEncoding());
            return 4;
        }
        say("saved " + QByteArray::number(qint64(n)));
    }
}

struct Burst {
    QList<long> saved;
    bool ready = false;
    bool killed = false;
    QString trouble;   // what a child that ended by itself said
};

// killAfterMs < 0: the child kills itself at a file operation.
Burst runBurst(const QString &home, long first, long killAt, int killAfterMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/share");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(),
            {"--save-burst", QString::number(first), QString::number(killAt)});
    Burst b;
    if (!p.waitForStarted()) {
        b.trouble = "did not start";
        return b;
    }
    if (!p.waitForFinished(killAfterMs >= 0 ? killAfterMs : 20000)) {
        p.kill();
        p.waitForFinished();
    }
    b.killed = p.exitStatus() == QProcess::CrashExit;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("saved "))
            b.saved << line.mid(6).toLong();
        else if (line.startsWith("READY"))
            b.ready = true;
        else if (!line.isEmpty())
            b.trouble += QString::fromUtf8(QByteArray::fromPercentEncoding(line)) + '\n';
    }
    if (!b.killed)
        b.trouble += QStringLiteral("ended by itself, status %1\n").arg(p.exitCode()) + p.readAllStandardError();
    return b;
}

QStringList column(Connection &c, const QString &sql)
{
    Query q(&c, QStringLiteral("probe"));
    q.setSql(sql);
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q.columnCount(); ++col)
            cells << (q.isNull(r, col) ? QStringLiteral("<null>") : q.value(r, col));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// The files after a kill, opened the way the program opens them.
void verify(const QString &dataDir, const QSet<long> &completed, long below)
{
    TDataModule2 dm(dataDir);
    for (Connection *c : {&dm.conn_jz_m, &dm.conn_jz_f, &dm.conn_jz_u})
        QCOMPARE(column(*c, "PRAGMA integrity_check"), QStringList{"ok"});
    QCOMPARE(column(dm.conn_jz_m, "select aid, a6 from jz_aa"), QStringList{"1|1"});
    QSet<long> present;
    for (const QString &row : column(dm.conn_jz_m, "select b1,b3,b4,b5,b6,b7,b8,b9,b10,b14 from jz_ab")) {
        const QStringList f = row.split('|');
        const long n = f[1].mid(1).toLong();
        QVERIFY2(n > 0 && n < below && !present.contains(n), qPrintable(row));
        present.insert(n);
        const QStringList whole{"收入", summaryOf(n), partyOf(n), totalOf(n), totalOf(n), "0.00",
                                "<null>", "<null>", "<null>", "1"};
        QCOMPARE(f, whole);
    }
    for (const long n : completed)
        QVERIFY2(present.contains(n), qPrintable(QString::number(n)));
    for (const auto &[table, prefix] : {std::pair{"a1", 'k'}, std::pair{"a2", 'u'}}) {
        QSet<long> phrases;
        for (const QString &z : column(dm.conn_jz_f, QStringLiteral("select z1 from %1").arg(table))) {
            QVERIFY2(z.startsWith(QLatin1Char(prefix)) && z.mid(1).toLong() > 0 && z.mid(1).toLong() < below,
                     qPrintable(z));
            phrases.insert(z.mid(1).toLong());
        }
        for (const long n : completed)
            QVERIFY2(phrases.contains(n), qPrintable(QStringLiteral("%1 %2").arg(table).arg(n)));
    }
    QCOMPARE(column(dm.conn_jz_u, "select ub2, ub3 from jz_ub"), QStringList{"0|8"});
}

} // namespace

class TestKillSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initCoreApplication();
        m_seed = QRandomGenerator::global()->generate();
        qInfo("random seed %u", m_seed);
    }

    // Killed while the first start creates the three files: the next start finds either
    // nothing (and creates the set) or a set it can finish; never a partial set.
    void killedDuringFirstStart()
    {
        QRandomGenerator rng(m_seed);
        // How many file operations a first start takes, from a run that is not killed.
        long creation = 0;
        {
            Folder folder;
            QProcess probe;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            const QString home = QDir::cleanPath(folder.path() + "/../..");
            env.insert("HOME", home);
            env.insert("XDG_DATA_HOME", home + "/share");
            env.insert("QT_QPA_PLATFORM", "offscreen");
            probe.setProcessEnvironment(env);
            probe.start(QCoreApplication::applicationFilePath(), {"--save-burst", "1", "0"});
            QVERIFY(probe.waitForReadyRead(10000));
            const QByteArray line = probe.readLine().trimmed();
            probe.kill();
            probe.waitForFinished();
            QVERIFY2(line.startsWith("READY "), line.constData());
            creation = line.mid(6).toLong();
        }
        QVERIFY(creation > 3);
        for (int run = 0; run < 8; ++run) {
            Folder folder;
            const QString home = QDir::cleanPath(folder.path() + "/../..");
            const long at = 1 + long(rng.bounded(quint32(creation)));
            const Burst b = runBurst(home, 1, at, -1);
            QVERIFY2(b.killed, qPrintable(QStringLiteral("at %1: %2").arg(at).arg(b.trouble)));
            verify(folder.path(), {}, 1);
            if (QTest::currentTestFailed())
                return qWarning("killed at operation %ld of %ld", at, creation);
            QCOMPARE(QDir(folder.path()).entryList({"*.new*"}), QStringList());
        }
    }

    // Killed again and again during a burst of saves into one ledger.
    void killedDuringSaves()
    {
        QRandomGenerator rng(m_seed ^ 0x5a5a5a5au);
        Folder folder;
        const QString home = QDir::cleanPath(folder.path() + "/../..");
        QSet<long> completed;
        long next = 1;
        for (int run = 0; run < 30; ++run) {
            const bool timed = run % 2 == 1;
            const long at = timed ? 0 : 1 + long(rng.bounded(400u));
            const int after = timed ? int(rng.bounded(900u)) : -1;
            const Burst b = runBurst(home, next, at, after);
            const QString what = timed ? QStringLiteral("after %1 ms").arg(after) : QStringLiteral("at operation %1").arg(at);
            QVERIFY2(b.killed, qPrintable(what + ": " + b.trouble));
            for (long n : b.saved)
                completed.insert(n);
            // A save may have reached the file without being reported: skip its number.
            next = (b.saved.isEmpty() ? next - 1 : b.saved.last()) + 2;
            verify(folder.path(), completed, next);
            if (QTest::currentTestFailed())
                return qWarning("killed %s", qPrintable(what));
        }
        QVERIFY2(completed.size() > 30, qPrintable(QString::number(completed.size())));
    }

private:
    quint32 m_seed = 0;
};

int main(int argc, char **argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--save-burst") == 0)
        return saveBurst(argc, argv);
    QApplication app(argc, argv);
    TestKillSafety test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kill_safety.moc"
