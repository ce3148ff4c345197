#include <QtTest>
#include "book_fixture.h"
#include "books/account_book_page.h"
#include "books/title_sort.h"

using namespace fixture;

namespace {
struct SortPage {
    Ledger ledger;
    TFr_zhangben page;
    SortPage()
    {
        page.attachData(ledger.dm.get());
        page.resize(892, 605);
    }
    void show()
    {
        BookRefresh::full(*ledger.dm);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }
    DataGrid *grid() { return page.grid(); }
};
} // namespace

class TestTitleSort : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    // One flag per grid: the direction alternates from click to click, whichever column.
    void clickSequence()
    {
        SortPage p;
        p.ledger.addEntry("收入", "2012-10- 1", "b", "x", "1.00", "1.00", "0.00");
        p.ledger.addEntry("收入", "2012- 8-27", "c", "x", "1.00", "1.00", "0.00");
        p.ledger.addEntry("收入", "2013- 1- 5", "a", "x", "1.00", "1.00", "0.00");
        p.show();
        clickTitle(p.grid(), 2);
        QCOMPARE(column(p.grid(), 2), (QStringList{"2012- 8-27", "2012-10- 1", "2013- 1- 5"}));
        QCOMPARE(p.grid()->title(2), QString("日期 ∧"));
        clickTitle(p.grid(), 2);
        QCOMPARE(column(p.grid(), 2), (QStringList{"2013- 1- 5", "2012-10- 1", "2012- 8-27"}));
        QCOMPARE(p.grid()->title(2), QString("日期 ∨"));
        clickTitle(p.grid(), 3);
        QCOMPARE(column(p.grid(), 3), (QStringList{"a", "b", "c"}));
        QCOMPARE(p.grid()->title(3), QString("摘要 ∧"));
        QCOMPARE(p.grid()->title(2), QString("日期 ∨"));
        QVERIFY(!p.page.titleSort()->ascendingNext());
        // Nothing ran against the database: the rows are the ones already held.
        QCOMPARE(p.ledger.dm->Query_jz_ab->sortField(), QString("b3"));
    }

    // Amounts and entry numbers order by value, not character by character.
    void numbersSortByValue_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("收入总额") << 5 << QStringList{"3.50", "20.00", "100.00"};
        QTest::newRow("应收账款") << 7 << QStringList{"0.00", "9.00", "10.00"};
    }
    void numbersSortByValue()
    {
        QFETCH(int, col);
        QFETCH(QStringList, ascending);
        SortPage p;
        p.ledger.addEntry("收入", "2026-12- 1", "a", "x", "20.00", "11.00", "9.00");
        p.ledger.addEntry("收入", "2026-12- 1", "b", "x", "100.00", "90.00", "10.00");
        p.ledger.addEntry("收入", "2026-12- 1", "c", "x", "3.50", "3.50", "0.00");
        p.show();
        clickTitle(p.grid(), col);
        QCOMPARE(column(p.grid(), col), ascending);
        clickTitle(p.grid(), col);
        std::reverse(ascending.begin(), ascending.end());
        QCOMPARE(column(p.grid(), col), ascending);
    }

    void entryNumbersSortByValue()
    {
        SortPage p;
        for (int i = 0; i < 10; ++i)
            p.ledger.addEntry("收入", "2026-12- 1", "a", "x", "1.00", "1.00", "0.00");
        p.show();
        clickTitle(p.grid(), 0);
        QCOMPARE(listedBids(p.grid()).mid(7), (QStringList{"8", "9", "10"}));
    }

    // A click while the list is closed changes neither the order, the title nor the flag.
    void closedListIgnoresClicks()
    {
        SortPage p;
        p.ledger.addEntry("收入", "2026-12- 1", "a", "x", "1.00", "1.00", "0.00");
        p.show();
        p.ledger.dm->Query_jz_ab->close();
        clickTitle(p.grid(), 2);
        QCOMPARE(p.grid()->title(2), QString("日期"));
        QVERIFY(p.page.titleSort()->ascendingNext());
        p.ledger.dm->Query_jz_ab->open();
        clickTitle(p.grid(), 2);
        QCOMPARE(p.grid()->title(2), QString("日期 ∧"));
    }

    void plainTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("plain");
        QTest::newRow("plain") << "日期" << "日期";
        QTest::newRow("blanks") << "  日期 " << "日期";
        QTest::newRow("up mark") << "日期 ∧" << "日期";
        QTest::newRow("down mark, blanks") << " 日期 ∨  " << "日期";
    }
    void plainTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, plain);
        QCOMPARE(TitleSort::plainTitle(title), plain);
    }
};

QTEST_MAIN(TestTitleSort)
#include "tst_title_sort.moc"
