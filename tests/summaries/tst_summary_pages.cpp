#include <QtTest>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "books/title_sort.h"
#include "data/book_cache.h"
#include "summaries/summary_page.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

// Both pages over one ledger, as the main window holds them.
struct Pages {
    Ledger ledger;
    TFr_shouru income;
    TFr_zhichu expense;

    Pages()
    {
        for (SummaryPage *p : {static_cast<SummaryPage *>(&income), static_cast<SummaryPage *>(&expense)}) {
            p->attachData(ledger.dm.get());
            p->resize(892, 605);
        }
    }
    SummaryPage &page(bool incomePage) { return incomePage ? static_cast<SummaryPage &>(income) : expense; }
    // Loads the current book as the start-up does, then enters the page.
    void enter(SummaryPage &p)
    {
        BookRefresh::full(*ledger.dm);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        p.pageSetUp();
    }
    void click(SummaryPage &p, const char *button)
    {
        auto *b = p.findChild<QToolButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

QStringList titles(DataGrid *grid)
{
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->title(c);
    return out;
}

} // namespace

class TestSummaryPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void pagesShowTheirKindAndAmounts_data()
    {
        QTest::addColumn<bool>("incomePage");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("收入汇总") << true << "收入"
                              << QStringList{"编号", "类别", "日期", "摘要", "单位名称", "收入总额", "已收金额", "应收账款"}
                              << QList<int>{50, 50, 75, 140, 200, 65, 65, 63};
        QTest::newRow("支出汇总") << false << "支出"
                              << QStringList{"编号", "类别", "日期", "摘要", "单位名称", "支出总额", "已付金额", "应付账款"}
                              << QList<int>{50, 50, 75, 140, 200, 65, 65, 65};
    }
    void pagesShowTheirKindAndAmounts()
    {
        QFETCH(bool, incomePage);
        QFETCH(QString, kind);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        Pages env;
        const int in = env.ledger.addEntry("收入", "2026-12- 1", "货款", "甲公司", "100.00", "60.00", "40.00");
        const int out = env.ledger.addEntry("支出", "2026-12- 2", "房租", "乙公司", "30.00", "10.00", "20.00");
        SummaryPage &p = env.page(incomePage);
        env.enter(p);

        auto *kindLabel = p.findChild<QLabel *>("bsSkinStdLabel5");
        QVERIFY(kindLabel && kindLabel->isHidden());
        QCOMPARE(kindLabel->text(), kind);
        QCOMPARE(::titles(p.grid()), titles);
        // The summary and counterparty columns take the room the page has beyond the others.
        for (int c = 0; c < widths.size(); ++c)
            QVERIFY(c == 3 || c == 4 ? p.grid()->columnWidth(c) >= widths[c] : p.grid()->columnWidth(c) == widths[c]);
        // One row of the page's own kind, with its three amounts as stored.
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(incomePage ? in : out)});
        const QStringList amounts = incomePage ? QStringList{"100.00", "60.00", "40.00"}
                                               : QStringList{"30.00", "10.00", "20.00"};
        for (int c = 5; c < 8; ++c)
            QCOMPARE(column(p.grid(), c), QStringList{amounts[c - 5]});
        QCOMPARE(column(p.grid(), 1), QStringList{kind});
        QCOMPARE(p.pageQuery()->objectName(), QString(incomePage ? "Query_shouru" : "Query_zhichu"));
        // A book can be large: the page lists the book's rows already in memory, so neither
        // the list nor a value shown asks the file again.
        QVERIFY(!p.pageQuery()->readsOnDemand());
        QVERIFY(BookCache::of(*env.ledger.dm).isCurrent(BookRefresh::bookKey(*env.ledger.dm)));
    }

    // Books 1 and 12: a key that merely contains the current one never matches.
    void otherBooksNeverShow_data()
    {
        QTest::addColumn<bool>("incomePage");
        QTest::newRow("收入汇总") << true;
        QTest::newRow("支出汇总") << false;
    }
    void otherBooksNeverShow()
    {
        QFETCH(bool, incomePage);
        Pages env;
        env.ledger.addBook(12, "十二号");
        env.ledger.addBook(2, "二号");
        const QString kind = incomePage ? "收入" : "支出";
        const QString other = incomePage ? "支出" : "收入";
        QStringList book1, book12;
        for (int i = 0; i < 3; ++i) {
            book1.prepend(QString::number(env.ledger.addEntry(kind, "2026-12- 1", "一", "甲", "1.00", "1.00", "0.00", "1")));
            book12.prepend(QString::number(env.ledger.addEntry(kind, "2026-12- 1", "十二", "乙", "2.00", "2.00", "0.00", "12")));
            env.ledger.addEntry(other, "2026-12- 1", "别类", "丙", "3.00", "3.00", "0.00", "1");
            env.ledger.addEntry(kind, "2026-12- 1", "空键", "丁", "4.00", "4.00", "0.00", "");
        }
        SummaryPage &p = env.page(incomePage);
        env.enter(p);
        QCOMPARE(listedBids(p.grid()), book1);

        env.ledger.makeCurrent(12);
        env.enter(p);
        QCOMPARE(listedBids(p.grid()), book12);

        // A book without entries of the kind: the titles and no rows, no message.
        env.ledger.makeCurrent(2);
        env.enter(p);
        QCOMPARE(p.grid()->model()->rowCount(), 0);
        QCOMPARE(p.grid()->model()->columnCount(), 8);
        QVERIFY(msg::shown().isEmpty());
    }

    // "刷新" rebuilds the list on both pages and keeps the marks; the set-up drops them.
    void refreshKeepsMarksSetUpClearsThem_data()
    {
        QTest::addColumn<bool>("incomePage");
        QTest::newRow("收入汇总") << true;
        QTest::newRow("支出汇总") << false;
    }
    void refreshKeepsMarksSetUpClearsThem()
    {
        QFETCH(bool, incomePage);
        Pages env;
        const QString kind = incomePage ? "收入" : "支出";
        const int a = env.ledger.addEntry(kind, "2026-12- 3", "三", "甲", "20.00", "20.00", "0.00");
        const int b = env.ledger.addEntry(kind, "2026-12- 1", "一", "甲", "100.00", "100.00", "0.00");
        const int c = env.ledger.addEntry(kind, "2026-12- 2", "二", "甲", "3.00", "3.00", "0.00");
        const QStringList newestFirst{QString::number(c), QString::number(b), QString::number(a)};
        SummaryPage &p = env.page(incomePage);
        env.enter(p);
        QCOMPARE(listedBids(p.grid()), newestFirst);

        clickTitle(p.grid(), 2);
        QCOMPARE(p.grid()->title(2), QString("日期 ∧"));
        QCOMPARE(listedBids(p.grid()), (QStringList{QString::number(b), QString::number(c), QString::number(a)}));
        // Amounts order by value: 100.00 after 20.00 when descending comes first.
        clickTitle(p.grid(), 5);
        QCOMPARE(p.grid()->title(5), QString(incomePage ? "收入总额 ∨" : "支出总额 ∨"));
        QCOMPARE(listedBids(p.grid()), (QStringList{QString::number(b), QString::number(a), QString::number(c)}));

        // A new entry shows after "刷新", in entry-number order; the marks stay.
        const int d = env.ledger.addEntry(kind, "2026-11-30", "四", "甲", "1.00", "1.00", "0.00");
        env.click(p, "bsSkinSpeedButton4");
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(d)} + newestFirst);
        QCOMPARE(p.grid()->title(2), QString("日期 ∧"));
        QCOMPARE(p.grid()->title(5), QString(incomePage ? "收入总额 ∨" : "支出总额 ∨"));

        p.pageSetUp();
        QCOMPARE(::titles(p.grid()), p.plainTitles());
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(d)} + newestFirst);
        // The direction flag is not reset: two clicks were made, the next sorts ascending.
        QVERIFY(p.titleSort()->ascendingNext());
    }

    // Each page has its own sort direction: a click on one does not turn the other's.
    void pagesSortIndependently()
    {
        Pages env;
        env.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "1.00", "1.00", "0.00");
        env.ledger.addEntry("支出", "2026-12- 1", "一", "甲", "1.00", "1.00", "0.00");
        env.enter(env.income);
        clickTitle(env.income.grid(), 3);
        env.enter(env.expense);
        clickTitle(env.expense.grid(), 3);
        QCOMPARE(env.expense.grid()->title(3), QString("摘要 ∧"));
    }

    void wheelStepsOneEntry()
    {
        Pages env;
        for (int i = 0; i < 40; ++i)
            env.ledger.addEntry("支出", "2026-12- 1", QString::number(i), "甲", "1.00", "1.00", "0.00");
        env.enter(env.expense);
        DataGrid *g = env.expense.grid();
        clickRow(g, 5);
        const int scroll = g->verticalScrollBar()->value();
        wheel(g, -360);
        QCOMPARE(env.expense.pageQuery()->currentRow(), 6);
        QCOMPARE(g->verticalScrollBar()->value(), scroll);
        wheel(g, 120);
        wheel(g, 120);
        QCOMPARE(env.expense.pageQuery()->currentRow(), 4);
    }

    // The tool bar's other two buttons hand over to the windows that print and help.
    // Long amounts show whole; the room the page has beyond the columns goes to the summary
    // and counterparty columns, also after the window grows.
    void amountsShowWhole_data()
    {
        QTest::addColumn<bool>("incomePage");
        QTest::newRow("收入汇总") << true;
        QTest::newRow("支出汇总") << false;
    }
    void amountsShowWhole()
    {
        QFETCH(bool, incomePage);
        Pages env;
        const QString kind = incomePage ? "收入" : "支出";
        env.ledger.addEntry(kind, "2026-12- 1", "一", "甲", "1234567890123.45", "9999999999999.99", "-8765432109876.54");
        env.ledger.addEntry(kind, "2026-12- 2", "二", "乙", "1.00", "1.00", "0.00");
        SummaryPage &p = env.page(incomePage);
        env.enter(p);
        DataGrid *grid = p.grid();
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(elided(grid, {5, 6, 7}), QStringList());
        for (const QSize &size : {QSize(892, 605), QSize(1024, 700), QSize(1366, 740)}) {
            p.resize(size);
            QCoreApplication::processEvents();
            int used = 0;
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                used += grid->columnWidth(c);
            // No blank right of the columns; where they need more than there is, the
            // summary and counterparty columns are back at their own widths.
            QVERIFY2(used >= grid->viewport()->width(), qPrintable(QString::number(used)));
            if (used > grid->viewport()->width())
                QVERIFY(grid->columnWidth(3) == 140 && grid->columnWidth(4) == 200);
            QCOMPARE(elided(grid, {5, 6, 7}), QStringList());
        }
        QVERIFY(grid->columnWidth(3) > 140 && grid->columnWidth(4) > 200);
    }

    void printAndHelpReachTheirHooks()
    {
        Pages env;
        env.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "1.00", "1.00", "0.00");
        env.enter(env.income);
        int printed = 0, helped = 0;
        int rowsSeen = -1;
        env.income.setPrintHook([&] {
            ++printed;
            rowsSeen = env.income.pageQuery()->rowCount();
        });
        env.income.setHelpHook([&] { ++helped; });
        env.click(env.income, "bsSkinSpeedButton9");
        env.click(env.income, "bsSkinSpeedButton8");
        QCOMPARE(printed, 1);
        QCOMPARE(rowsSeen, 1);
        QCOMPARE(helped, 1);
        QCOMPARE(env.income.kindText(), QString("收入"));
    }
};

QTEST_MAIN(TestSummaryPages)
#include "tst_summary_pages.moc"
