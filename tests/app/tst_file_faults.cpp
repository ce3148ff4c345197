// The whole program when a database file is held by another process, or the disk fills
// up, while the user paints, sorts, searches and saves: the general error box says what
// happened, nothing is lost or half written, and work goes on once the file is free or
// there is room again.
#include <QtTest>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "fault_vfs.h"
#include "app/main_window.h"
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "app/program.h"
#include "app/start_up.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "data/schema.h"
#include "details/detail_window.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

// A second connection that holds a file exclusively.
class Holder
{
public:
    Holder(const QString &path, const QByteArray &key) : m_conn(QStringLiteral("holder"))
    {
        m_conn.open(path, key);
        m_conn.exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    void release()
    {
        if (m_held)
            m_conn.exec(QStringLiteral("ROLLBACK"));
        m_held = false;
    }
    ~Holder() { release(); }

private:
    Connection m_conn;
    bool m_held = true;
};

QString summaryOf(int n) { return QStringLiteral("f%1").arg(n); }
QString totalOf(int n) { return QStringLiteral("%1.50").arg(n); }

struct App {
    testsupport::DataFolder folder;
    StartUp::Session session;
    int status = StartUp::begin(session);

    TDataModule2 &dm() { return *session.program->data(); }
    TFr_zhangben *page() { return session.program->mainWindow()->accountBookPage(); }
    DataGrid *grid() { return page()->grid(); }
    QString path(const Schema::DataFile &f) { return folder.file(f.fileName); }

    bool show()
    {
        session.program->show();
        if (!QTest::qWaitForWindowExposed(session.program->mainWindow()))
            return false;
        if (!QTest::qWaitFor([this] { return session.program->mainWindow()->showSequenceDone(); }))
            return false;
        // Once painted, the book's rows go into memory.
        if (!QTest::qWaitFor([this] { return BookCache::of(dm()).isCurrent(BookRefresh::bookKey(dm())); }))
            return false;
        QTest::mouseClick(session.program->mainWindow()->findChild<QToolButton *>("bsSkinButtonsBar1Sections0Items2"),
                          Qt::LeftButton);
        return page()->isVisible();
    }
    void addEntries(int n)
    {
        Connection::Transaction t(dm().conn_jz_m);
        for (int i = 1; i <= n; ++i)
            dm().conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values ('收入','2026-12-10',:s,'p',:t,:t,'0.00','1')",
                                {{":s", summaryOf(i)}, {":t", totalOf(i)}});
        t.commit();
    }
    void click(const QString &name) { QTest::mouseClick(page()->findChild<QToolButton *>(name), Qt::LeftButton); }

    // "新收入", then inside the open dialog: fill in entry n and press "保  存" (once, and
    // again after `between` when the first press did not close it). The dialog is
    // cancelled if it is still open after that. Returns whether the dialog saved.
    bool saveEntry(int n, const std::function<void()> &between = {})
    {
        bool saved = false;
        QTimer::singleShot(0, page(), [this, n, between, &saved] {
            EntryDialog *d = session.program->newIncome();
            QTest::keyClicks(d->findChild<QLineEdit *>("bsSkinEdit4"), summaryOf(n));
            QTest::keyClicks(d->findChild<QLineEdit *>("bsSkinEdit5"), QStringLiteral("p"));
            auto *total = d->findChild<AmountField *>("bsSkinEdit1");
            total->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(total, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(total, totalOf(n));
            auto *save = d->findChild<QPushButton *>("bsSkinButton1");
            QTest::mouseClick(save, Qt::LeftButton);
            if (d->isVisible() && between) {
                between();
                QTest::mouseClick(save, Qt::LeftButton);
            }
            saved = !d->isVisible();
            if (d->isVisible())
                d->reject();
        });
        click("bsSkinSpeedButton2");
        return saved;
    }

    // Every entry, each checked whole; returns their numbers in table order.
    QList<int> entries()
    {
        QList<int> out;
        Query q(&dm().conn_jz_m, QStringLiteral("probe"));
        q.setSql("select b1,b3,b4,b5,b6,b7,b8,b14 from jz_ab order by bid");
        q.open();
        for (int r = 0; r < q.rowCount(); ++r) {
            const int n = q.value(r, 1).mid(1).toInt();
            const QStringList row{q.value(r, 0), q.value(r, 1), q.value(r, 2), q.value(r, 3),
                                  q.value(r, 4), q.value(r, 5), q.isNull(r, 6) ? "<null>" : "?", q.value(r, 7)};
            const QStringList whole{"收入", summaryOf(n), "p", totalOf(n), totalOf(n), "0.00", "<null>", "1"};
            if (row != whole)
                qWarning() << "half-written entry" << row;
            out << (row == whole ? n : -1);
        }
        return out;
    }
    bool intact()
    {
        for (Connection *c : {&dm().conn_jz_m, &dm().conn_jz_f, &dm().conn_jz_u}) {
            Query q(c, QStringLiteral("check"));
            q.setSql("PRAGMA integrity_check");
            q.open();
            if (q.value(0, 0) != QLatin1String("ok"))
                return false;
        }
        return true;
    }
    QList<msg::Shown> errors()
    {
        QList<msg::Shown> out;
        for (const msg::Shown &s : msg::shown())
            if (s.kind == msg::Kind::Error)
                out << s;
        return out;
    }
};

QString heldText(const QString &file) { return file + QStringLiteral(" 正被其他程序占用"); }

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The fault layer goes under every connection; it does nothing until told to.
        faultvfs::install();
        testsupport::initApplication();
    }
    void init() { msg::clearShown(); }

    void heldLedger();
    void heldPhraseFile();
    void heldDetailFile();
    void diskFullAtTheEngineLimit();
    void diskFullAtAnyWrite();
};

void TestFileFaults::heldLedger()
{
    App app;
    QCOMPARE(app.status, -1);
    app.addEntries(300);
    QVERIFY(app.show());
    DataGrid *grid = app.grid();
    QCOMPARE(grid->model()->rowCount(), 300);
    app.dm().conn_jz_m.setBusyTimeout(100);
    const QString ledger = Schema::ledger().fileName;
    auto heldBox = [&app, &ledger](int count) {
        QTRY_COMPARE(app.errors().size(), count);
        QVERIFY2(app.errors().last().text.contains(heldText(ledger)), qPrintable(app.errors().last().text));
    };
    Holder holder(app.path(Schema::ledger()), Schema::ledger().password);

    // The book's rows are held in memory: painting and a title click need no file.
    grid->scrollToBottom();
    grid->viewport()->repaint();
    QCOMPARE(grid->model()->index(299, 3).data().toString(), summaryOf(1));
    const int summaryColumn = TFr_zhangben::plainTitles().indexOf("摘要");
    clickTitle(grid, summaryColumn);
    QCOMPARE(grid->title(summaryColumn), QString("摘要 ∧"));
    QCOMPARE(grid->model()->index(0, 3).data().toString(), summaryOf(1));
    QTest::qWait(50);
    QCOMPARE(app.errors().size(), 0);

    // A quick search must prove the rows still current: one box, the list stays closed.
    app.click("bsSkinSpeedButton7");
    QTest::mouseClick(app.page()->quickSearch()->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
    heldBox(1);
    QCOMPARE(grid->model()->rowCount(), 0);

    // A save: refused while held; pressed again once the file is free, it goes in once.
    QVERIFY(app.saveEntry(301, [&] {
        heldBox(2);
        holder.release();
    }));
    QCOMPARE(app.errors().size(), 2);

    // The file is free: everything is there and the grid reads again.
    app.click("bsSkinSpeedButton4");
    QCOMPARE(app.errors().size(), 2);
    QCOMPARE(grid->model()->rowCount(), 301);
    grid->scrollToBottom();
    QCOMPARE(grid->model()->index(300, 3).data().toString(), summaryOf(1));
    QList<int> expected;
    for (int i = 1; i <= 301; ++i)
        expected << i;
    QCOMPARE(app.entries(), expected);
    // The first click sorted, so this one sorts descending.
    clickTitle(grid, summaryColumn);
    QCOMPARE(grid->title(summaryColumn), QString("摘要 ∨"));
    QVERIFY(app.intact());
}

void TestFileFaults::heldPhraseFile()
{
    App app;
    QCOMPARE(app.status, -1);
    for (int i = 0; i < 200; ++i)
        app.dm().conn_jz_f.exec("insert into a1 (z1) values (:a)", {{":a", QStringLiteral("phrase%1").arg(i)}});
    app.dm().Query_jz_a1->reopen();
    QVERIFY(app.show());
    app.dm().conn_jz_f.setBusyTimeout(100);
    Holder holder(app.path(Schema::phrases()), Schema::phrases().password);

    // The summary list of the quick search shows its phrases as read on demand.
    app.click("bsSkinSpeedButton7");
    auto *box = app.page()->quickSearch()->findChild<QComboBox *>("bsSkinDBLookupComboBox1");
    box->showPopup();
    box->view()->scrollToBottom();
    box->view()->viewport()->repaint();
    QTRY_COMPARE(app.errors().size(), 1);
    QVERIFY2(app.errors()[0].text.contains(heldText(Schema::phrases().fileName)), qPrintable(app.errors()[0].text));
    box->hidePopup();

    // A save writes the entry, then fails at the phrase with the box; the entry is whole and
    // the dialog closed, so a second click cannot store it again.
    QVERIFY(app.saveEntry(1));
    QTRY_COMPARE(app.errors().size(), 2);
    QVERIFY(app.errors()[1].text.contains(heldText(Schema::phrases().fileName)));
    QCOMPARE(app.entries(), QList<int>{1});

    holder.release();
    QVERIFY(app.saveEntry(2));
    QCOMPARE(app.entries(), (QList<int>{1, 2}));
    box->showPopup();
    QTRY_VERIFY(box->count() == 201);
    QCOMPARE(box->itemText(200), QString("phrase0"));
    box->hidePopup();
    QCOMPARE(app.errors().size(), 2);
    QVERIFY(app.intact());
}

void TestFileFaults::heldDetailFile()
{
    App app;
    QCOMPARE(app.status, -1);
    app.addEntries(1);
    app.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6) values ('类','2026-12-10','明细一','','1.00','1')");
    QVERIFY(app.show());
    app.dm().conn_jz_u.setBusyTimeout(100);
    Tmingxi *details = app.session.program->detailWindow();
    auto openDetails = [&] {
        QTimer::singleShot(0, details, [details] {
            QTimer::singleShot(50, details, &QDialog::reject);
        });
        clickRow(app.grid(), 0);
        app.click("bsSkinSpeedButton12");
    };
    {
        Holder holder(app.path(Schema::details()), Schema::details().password);
        openDetails();
        QCOMPARE(app.errors().size(), 1);
        QVERIFY(app.errors()[0].text.contains(heldText(Schema::details().fileName)));
    }
    openDetails();
    QCOMPARE(app.errors().size(), 1);
    QCOMPARE(details->grid()->model()->rowCount(), 1);
    QCOMPARE(details->grid()->model()->index(0, 2).data().toString().isEmpty(), false);
    QVERIFY(app.intact());
}

// The engine's page limit stands for a full disk: saves fail with the box, nothing half
// written; with room again the same dialog saves.
void TestFileFaults::diskFullAtTheEngineLimit()
{
    App app;
    QCOMPARE(app.status, -1);
    QVERIFY(app.show());
    Query pages(&app.dm().conn_jz_m, "pages");
    pages.setSql("PRAGMA page_count");
    pages.open();
    app.dm().conn_jz_m.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages.value(0, 0).toInt()));
    int n = 1;
    QList<int> saved;
    while (app.errors().isEmpty() && n < 500) {
        if (app.saveEntry(n))
            saved << n;
        ++n;
    }
    QCOMPARE(app.errors().size(), 1);
    QVERIFY2(app.errors()[0].text.contains("磁盘已满") && app.errors()[0].text.contains(Schema::ledger().fileName),
             qPrintable(app.errors()[0].text));
    QCOMPARE(app.entries(), saved);
    QVERIFY(app.intact());

    QVERIFY(app.saveEntry(n, [&] { app.dm().conn_jz_m.exec("PRAGMA max_page_count = 1000000"); }));
    saved << n;
    QCOMPARE(app.errors().size(), 2);
    QCOMPARE(app.entries(), saved);
    QCOMPARE(app.grid()->model()->rowCount(), saved.size());
    QVERIFY(app.intact());
}

// The disk fills up at any write of a save (journal, ledger page, phrase page): the box
// appears, what went in is whole, and once there is room the next save goes through.
void TestFileFaults::diskFullAtAnyWrite()
{
    App app;
    QCOMPARE(app.status, -1);
    QVERIFY(app.show());
    QList<int> stored;
    int n = 1;
    for (long at = 1; at <= 40; at += 3) {
        msg::clearShown();
        faultvfs::install(faultvfs::Fault::DiskFull, at);
        const bool closed = app.saveEntry(n);
        faultvfs::room();
        const QList<msg::Shown> errors = app.errors();
        QVERIFY(errors.size() <= 1);
        if (!errors.isEmpty())
            QVERIFY2(errors[0].text.contains("磁盘已满"), qPrintable(errors[0].text));
        // The entry went in when its own write passed, whether or not a phrase failed after;
        // the dialog closes exactly then, and stays open (with the box) when it did not.
        const QList<int> now = app.entries();
        QVERIFY2(!now.contains(-1), qPrintable(QStringLiteral("at %1").arg(at)));
        const bool went = now.size() > stored.size();
        QCOMPARE(closed, went);
        if (!closed)
            QCOMPARE(errors.size(), 1);
        if (went)
            stored << n;
        QCOMPARE(now, stored);
        QVERIFY(app.intact());
        ++n;
        QVERIFY(app.saveEntry(n));
        stored << n;
        QCOMPARE(app.entries(), stored);
        ++n;
    }
}

QTEST_MAIN(TestFileFaults)
#include "tst_file_faults.moc"
