// The program killed while it deletes entry after entry through the account-book page:
// afterwards every entry is either in the ledger or in the bin, never in neither and
// never in both, and the files pass the engine's integrity check.
//
// The deleting program is this binary again (--delete-burst), killed from inside the
// file layer at a chosen write, sync or delete.
#include <QtTest>
#include <QProcess>
#include <QRandomGenerator>
#include <QToolButton>
#include <unistd.h>
#include "fault_vfs.h"
#include "test_support.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/start_up.h"
#include "books/account_book_page.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "ui/message_box.h"

namespace {

constexpr int kEntries = 40;

void say(const QByteArray &line)
{
    const QByteArray l = line + '\n';
    // Unbuffered: what was said before the kill must reach the test.
    if (::write(1, l.constData(), size_t(l.size())) != l.size())
        ::_exit(5);
}

// The child: start as main() does, fill the book on the first run, then delete the
// newest entry again and again until killed or none is left.
int deleteBurst(int argc, char **argv)
{
    const long killAt = QByteArray(argv[2]).toLong();
    faultvfs::install();
    QApplication app(argc, argv);
    testsupport::initApplication();
    StartUp::Session session;
    if (StartUp::begin(session) >= 0)
        return 3;
    TDataModule2 &dm = *session.program->data();
    const auto first = [&dm](const char *sql) {
        Query q(&dm.conn_jz_m, QStringLiteral("probe"));
        q.setSql(QString::fromLatin1(sql));
        q.open();
        return q.value(0, 0).toInt();
    };
    // The first run fills the book.
    if (first("select count(*) from jz_ab") == 0 && first("select count(*) from sqlite_master where name = 'jz_hs'") == 0) {
        Connection::Transaction t(dm.conn_jz_m);
        for (int n = 1; n <= kEntries; ++n)
            dm.conn_jz_m.exec(QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values "
                                             "('收入','2026-12- 1',:c,'单位',:e,:e,'0.00','1')"),
                              {{":c", QStringLiteral("k%1").arg(n)}, {":e", QStringLiteral("%1.25").arg(n)}});
        t.commit();
    }
    BookRefresh::full(dm);
    auto *remove = session.program->mainWindow()->accountBookPage()->findChild<QToolButton *>("bsSkinSpeedButton6");
    say("READY");
    faultvfs::install(killAt > 0 ? faultvfs::Fault::Kill : faultvfs::Fault::None, killAt);
    for (;;) {
        Query *q = dm.Query_jz_ab;
        if (q->isEmpty()) {
            say("EMPTY");
            return 0;
        }
        q->setCurrentRow(0);
        const QByteArray bid = q->field(QStringLiteral("bid")).toUtf8();
        msg::clearShown();
        remove->click();
        for (const msg::Shown &box : msg::shown())
            if (box.kind != msg::Kind::Question) {
                say("FAILED " + box.text.toUtf8().toPercentEncoding());
                return 4;
            }
        say("deleted " + bid);
    }
}

QStringList column(Connection &c, const QString &sql)
{
    Query q(&c, QStringLiteral("probe"));
    q.setSql(sql);
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r)
        out << q.value(r, 0);
    return out;
}

} // namespace

class TestBinKill : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initCoreApplication();
        m_seed = QRandomGenerator::global()->generate();
        qInfo("random seed %u", m_seed);
    }

    void killedDuringDeletes()
    {
        QRandomGenerator rng(m_seed);
        testsupport::DataFolder folder;
        const QString home = QDir::cleanPath(folder.path() + "/../..");
        QSet<QString> reported;
        qsizetype kept = 0;
        bool empty = false;
        for (int run = 0; run < 25 && !empty; ++run) {
            const long at = 1 + long(rng.bounded(150u));
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home);
            env.insert("XDG_DATA_HOME", home + "/share");
            env.insert("QT_QPA_PLATFORM", "offscreen");
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(), {"--delete-burst", QString::number(at)});
            QVERIFY(p.waitForStarted());
            if (!p.waitForFinished(30000)) {
                p.kill();
                p.waitForFinished();
            }
            QString trouble;
            for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
                if (line.startsWith("deleted "))
                    reported.insert(QString::fromUtf8(line.mid(8)));
                else if (line == "EMPTY")
                    empty = true;
                else if (!line.isEmpty() && line != "READY")
                    trouble += QString::fromUtf8(QByteArray::fromPercentEncoding(line)) + '\n';
            }
            QVERIFY2(trouble.isEmpty(), qPrintable(trouble));
            QVERIFY2(empty || p.exitStatus() == QProcess::CrashExit,
                     qPrintable(QStringLiteral("at %1: ended by itself").arg(at)));

            TDataModule2 dm(folder.path());
            for (Connection *c : {&dm.conn_jz_m, &dm.conn_jz_u})
                QCOMPARE(column(*c, "PRAGMA integrity_check"), QStringList{"ok"});
            const QStringList ledger = column(dm.conn_jz_m, "select bid from jz_ab");
            QStringList bin;
            if (column(dm.conn_jz_m, "select count(*) from sqlite_master where name = 'jz_hs'") == QStringList{"1"}) {
                bin = column(dm.conn_jz_m, "select bid from jz_hs_ab");
                // Every copy has its item and every item its copy.
                QCOMPARE(column(dm.conn_jz_m, "select count(*) from jz_hs"), QStringList{QString::number(bin.size())});
                QCOMPARE(column(dm.conn_jz_m, "select count(*) from jz_hs h join jz_hs_ab e on e.hsid = h.hsid "
                                              "and e.bid = cast(h.hs7 as integer)"),
                         QStringList{QString::number(bin.size())});
            }
            const QSet<QString> inLedger(ledger.begin(), ledger.end());
            const QSet<QString> inBin(bin.begin(), bin.end());
            QVERIFY2(!inLedger.intersects(inBin), qPrintable(QStringLiteral("killed at %1").arg(at)));
            QCOMPARE(inLedger.size() + inBin.size(), kEntries);
            QCOMPARE(bin.size(), inBin.size());
            for (const QString &bid : reported)
                QVERIFY2(inBin.contains(bid), qPrintable(bid));
            kept = inBin.size();
        }
        // The runs got somewhere.
        QVERIFY2(kept > 5, qPrintable(QString::number(kept)));
    }

private:
    quint32 m_seed = 0;
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--delete-burst") == 0)
        return deleteBurst(argc, argv);
    QApplication app(argc, argv);
    TestBinKill test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_bin_kill.moc"
