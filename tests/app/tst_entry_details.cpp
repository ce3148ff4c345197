// The detail window as the whole program opens it from the account-book page.
#include <QtTest>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <memory>

#include "../books/book_fixture.h"
#include "../details/detail_fixture.h"
#include "app/main_window.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "data/data_module.h"
#include "data/query.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

struct App {
    testsupport::DataFolder folder;
    std::unique_ptr<Program> program = std::make_unique<Program>(folder.path());

    TDataModule2 &dm() { return *program->data(); }
    TFr_zhangben *page() { return program->mainWindow()->accountBookPage(); }
    Tmingxi *details() { return program->detailWindow(); }

    // An entry with a number of its own choosing.
    void addEntry(int bid, const QString &kind, const QString &date, const QString &summary,
                  const QString &total, const QString &settled, const QString &outstanding,
                  const QString &book = QStringLiteral("1"))
    {
        const bool income = kind == QStringLiteral("收入");
        dm().conn_jz_m.exec(income
            ? QStringLiteral("insert into jz_ab (bid,b1,b2,b3,b4,b5,b6,b7,b14) values (:n,:a,:b,:c,'单位',:e,:f,:g,:h)")
            : QStringLiteral("insert into jz_ab (bid,b1,b2,b3,b4,b8,b9,b10,b14) values (:n,:a,:b,:c,'单位',:e,:f,:g,:h)"),
            {{":n", QString::number(bid)}, {":a", kind}, {":b", date}, {":c", summary},
             {":e", total}, {":f", settled}, {":g", outstanding}, {":h", book}});
    }
    void addLine(const QString &entry, const QString &category)
    {
        dm().conn_jz_u.exec(QStringLiteral("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6) values (:a,'2012-10- 6','s','',"
                                           "'1.00',:f)"),
                            {{":a", category}, {":f", entry}});
    }
    int storedLines()
    {
        Query q(&dm().conn_jz_u, QStringLiteral("probe"));
        q.setSql(QStringLiteral("select count(*) from jz_ua"));
        q.open();
        return q.value(0, 0).toInt();
    }
    // The main window on the account-book page.
    bool show()
    {
        program->show();
        if (!QTest::qWaitForWindowExposed(program->mainWindow()))
            return false;
        if (!QTest::qWaitFor([this] { return program->mainWindow()->showSequenceDone(); }))
            return false;
        auto *book = program->mainWindow()->findChild<QToolButton *>("bsSkinButtonsBar1Sections0Items2");
        if (!book)
            return false;
        QTest::mouseClick(book, Qt::LeftButton);
        return page()->isVisible();
    }
    void selectEntry(const QString &bid)
    {
        const int row = listedBids(page()->grid()).indexOf(bid);
        QVERIFY2(row >= 0, qPrintable(bid));
        clickRow(page()->grid(), row);
        QCOMPARE(dm().Query_jz_ab->field("bid"), bid);
    }
    void openDetails(bool byDoubleClick)
    {
        if (byDoubleClick) {
            DataGrid *g = page()->grid();
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {},
                               g->visualRect(g->model()->index(g->currentIndex().row(), 3)).center());
        } else {
            QTest::mouseClick(page()->findChild<QToolButton *>("bsSkinSpeedButton12"), Qt::LeftButton);
        }
    }
};

} // namespace

class TestEntryDetails : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void windowShowsTheSelectedEntry_data();
    void windowShowsTheSelectedEntry();
    void emptyListOpensNothing();
    void linesOfDeletedBooksNeverReachNewEntries();
};

void TestEntryDetails::windowShowsTheSelectedEntry_data()
{
    QTest::addColumn<QString>("bid");
    QTest::addColumn<bool>("byDoubleClick");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("lines");
    const QString income = QStringLiteral("收入,货款, 总额100.00 已收60.00 应收40.00  2012-10- 6");
    const QString expense = QStringLiteral("支出,房租, 总额30.00 已付10.00 应付20.00  2013- 1-15");
    QTest::newRow("income, 明 细") << "12" << false << income << "编号12的收入记录明细" << QStringList{"b12", "a12"};
    QTest::newRow("income, double click") << "12" << true << income << "编号12的收入记录明细" << QStringList{"b12", "a12"};
    QTest::newRow("expense, 明 细") << "7" << false << expense << "编号7的支出记录明细" << QStringList{"a7"};
    QTest::newRow("entry 1") << "1" << true << "收入,一, 总额5.00 已收5.00 应收0.00  2012- 1- 1" << "编号1的收入记录明细"
                             << QStringList{"a1"};
}

void TestEntryDetails::windowShowsTheSelectedEntry()
{
    QFETCH(QString, bid);
    QFETCH(bool, byDoubleClick);
    QFETCH(QString, line);
    QFETCH(QString, caption);
    QFETCH(QStringList, lines);
    App app;
    app.addEntry(1, "收入", "2012- 1- 1", "一", "5.00", "5.00", "0.00");
    app.addEntry(7, "支出", "2013- 1-15", "房租", "30.00", "10.00", "20.00");
    app.addEntry(10, "收入", "2012- 1- 2", "十", "1.00", "1.00", "0.00");
    app.addEntry(12, "收入", "2012-10- 6", "货款", "100.00", "60.00", "40.00");
    const char *const lines_[][2] = {{"1", "a1"}, {"10", "a10"}, {"11", "a11"}, {"21", "a21"},
                                     {"12", "a12"}, {"7", "a7"}, {"12", "b12"}};
    for (const auto &l : lines_)
        app.addLine(l[0], l[1]);
    QVERIFY(app.show());
    app.selectEntry(bid);

    bool shown = false;
    whenShown(app.details(), [&] {
        shown = true;
        Tmingxi *w = app.details();
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(w->findChild<QLabel *>("bsSkinStdLabel4")->text(), line);
        QCOMPARE(w->findChild<QLabel *>("bsSkinStdLabel3")->text(), bid);
        QCOMPARE(column(w->grid(), 0), lines);
    });
    app.openDetails(byDoubleClick);
    QVERIFY(shown);
    QVERIFY(msg::shown().isEmpty());
}

void TestEntryDetails::emptyListOpensNothing()
{
    App app;
    QVERIFY(app.show());
    msg::clearShown();
    bool shown = false;
    whenShown(app.details(), [&] { shown = true; });
    for (bool dbl : {false, true})
        app.openDetails(dbl);
    QVERIFY(!shown);
    QCOMPARE(msg::shown().size(), 2);
    QCOMPARE(msg::lastShown().text, QString("此账本无收支记录,请先新增收入\\支出记录。"));
}

void TestEntryDetails::linesOfDeletedBooksNeverReachNewEntries()
{
    App app;
    // Book 2 holds the newest entry, which has detail lines.
    app.dm().conn_jz_m.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (2,'二号','2026-1-1','','0')");
    app.addEntry(1, "收入", "2012- 1- 1", "旧", "5.00", "5.00", "0.00");
    app.addEntry(2, "支出", "2012- 1- 2", "随账本而去", "3.00", "3.00", "0.00", "2");
    app.addLine("2", "orphan");
    app.addLine("2", "orphan");
    // The book goes with its entries, as the switch dialog deletes it; its lines stay.
    app.dm().conn_jz_m.exec("delete from jz_ab where b14 = '2'");
    app.dm().conn_jz_m.exec("delete from jz_aa where aid = 2");
    QVERIFY(app.show());

    // A new entry through the new-income dialog.
    whenShown(app.program->newIncome(), [&] {
        EntryDialog *d = app.program->newIncome();
        d->setSummaryText("新的");
        d->setCounterpartyText("单位");
        auto *total = d->findChild<AmountField *>("bsSkinEdit1");
        total->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(total->findChild<QLineEdit *>(), "8");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!d->isVisible());
    });
    QTest::mouseClick(app.page()->findChild<QToolButton *>("bsSkinSpeedButton2"), Qt::LeftButton);
    const QStringList bids = listedBids(app.page()->grid());
    QCOMPARE(bids.size(), 2);
    QVERIFY2(bids.first() != "2", "an entry number came back");
    app.selectEntry(bids.first());

    bool shown = false;
    whenShown(app.details(), [&] {
        shown = true;
        QCOMPARE(app.details()->grid()->model()->rowCount(), 0);
        QCOMPARE(app.details()->windowTitle(), QStringLiteral("编号%1的收入记录明细").arg(bids.first()));
    });
    app.openDetails(false);
    QVERIFY(shown);
    QCOMPARE(app.storedLines(), 2);
}

QTEST_MAIN(TestEntryDetails)
#include "tst_entry_details.moc"
