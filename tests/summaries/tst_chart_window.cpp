#include <QtTest>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QPushButton>
#include <QChartView>
#include <QTabBar>
#include <QToolTip>
#include <QTabWidget>
#include <QValueAxis>
#include <functional>
#include "../books/book_fixture.h"
#include "data/book_cache.h"
#include "summaries/chart_figures.h"
#include "summaries/chart_window.h"
#include "summaries/statistics_window.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

// Runs check while the window is open modally, as the statistics window opens it.
void whileOpen(Tchart &w, const std::function<void()> &check)
{
    QTimer::singleShot(0, &w, [&] {
        check();
        w.reject();
    });
    w.exec();
}

// One month as the tooltips tell it: income, expense, then the balance line.
QStringList tips(const Tchart &w, int index)
{
    return {w.monthTip(0, index), w.monthTip(1, index), w.monthTip(2, index)};
}

QString monthTips(const QString &head, const QString &in, const QString &out, const QString &recv,
                  const QString &pay, const QString &bal)
{
    return QStringList{head + "\n收入: " + in, head + "\n支出: " + out,
                       head + "\n应收: " + recv + "\n应付: " + pay + "\n应收减应付: " + bal}
        .join("|");
}

QBarSeries *monthBars(const Tchart &w)
{
    for (QAbstractSeries *s : w.monthChart()->series())
        if (auto *b = qobject_cast<QBarSeries *>(s))
            return b;
    return nullptr;
}

QLineSeries *balanceLine(const Tchart &w)
{
    for (QAbstractSeries *s : w.monthChart()->series())
        if (auto *l = qobject_cast<QLineSeries *>(s))
            return l;
    return nullptr;
}

// The category captions of a chart's bar axis, in drawing order.
QStringList categories(QChart *c)
{
    for (QAbstractAxis *a : c->axes())
        if (auto *cat = qobject_cast<QBarCategoryAxis *>(a))
            return cat->categories();
    return {};
}

QStringList comboItems(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// On the box itself, where the user clicks, not in the blank beside its text.
void clickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void showTab(Tchart &w, int index)
{
    QTabBar *bar = w.tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCOMPARE(w.tabs()->currentIndex(), index);
}

void chooseYear(Tchart &w, const QString &year)
{
    const int at = w.yearBox()->findText(year);
    QVERIFY2(at >= 0, qPrintable(year));
    w.yearBox()->setCurrentIndex(at);
}

// Three months over two years in book 1, and book 2 beside it with entries in two of them.
void fillTwoBooks(Ledger &l)
{
    l.addBook(2, "二号");
    l.addEntry("收入", "2025-11- 3", "a", "甲", "100.10", "60.10", "40.00", "1");
    l.addEntry("支出", "2025-11-30", "b", "乙", "20.00", "5.00", "15.00", "1");
    l.addEntry("支出", "2025-12- 1", "c", "乙", "7.50", "7.50", "0.00", "1");
    // 0.10 + 0.20 is 0.30 exactly, not 0.30000000000000004.
    l.addEntry("收入", "2026- 1- 5", "d", "丙", "0.10", "0.00", "0.10", "1");
    l.addEntry("收入", "2026- 1-31", "e", "丙", "0.20", "0.00", "0.20", "1");
    l.addEntry("收入", "2025-11-15", "f", "丁", "1.00", "1.00", "0.00", "2");
    l.addEntry("支出", "2026- 1- 2", "g", "丁", "3.00", "0.00", "3.00", "2");
    l.makeCurrent(1);
    BookRefresh::full(*l.dm);
}

} // namespace

class TestChartWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    // Per month of the chosen year: the sums of the current book, or of every book once
    // "全部账本" is ticked; months without entries are drawn as zero.
    void monthlySums_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("allBooks");
        QTest::addColumn<QString>("november");
        QTest::addColumn<QString>("december");
        QTest::addColumn<QString>("january");
        // Book 1 holds most entries, book 2 few: read by a pass over all rows and through
        // the book's index respectively.
        QTest::newRow("large current book")
            << 1 << false << monthTips("2025年11月", "100.10", "20.00", "40.00", "15.00", "25.00")
            << monthTips("2025年12月", "0.00", "7.50", "0.00", "0.00", "0.00")
            << monthTips("2026年1月", "0.30", "0.00", "0.30", "0.00", "0.30");
        QTest::newRow("small current book")
            << 2 << false << monthTips("2025年11月", "1.00", "0.00", "0.00", "0.00", "0.00")
            << monthTips("2025年12月", "0.00", "0.00", "0.00", "0.00", "0.00")
            << monthTips("2026年1月", "0.00", "3.00", "0.00", "3.00", "-3.00");
        QTest::newRow("all books")
            << 1 << true << monthTips("2025年11月", "101.10", "20.00", "40.00", "15.00", "25.00")
            << monthTips("2025年12月", "0.00", "7.50", "0.00", "0.00", "0.00")
            << monthTips("2026年1月", "0.30", "3.00", "0.30", "3.00", "-2.70");
    }
    void monthlySums()
    {
        QFETCH(int, current);
        QFETCH(bool, allBooks);
        QFETCH(QString, november);
        QFETCH(QString, december);
        QFETCH(QString, january);
        Ledger ledger;
        fillTwoBooks(ledger);
        ledger.makeCurrent(current);
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        whileOpen(w, [&] {
            QCOMPARE(w.windowTitle(), QString("收支图表"));
            QCOMPARE(comboItems(w.yearBox()), (QStringList{"2025", "2026"}));
            // The latest year first.
            QCOMPARE(w.yearBox()->currentText(), QString("2026"));
            if (allBooks)
                clickBox(w.allBooksBox());
            QCOMPARE(w.allBooksBox()->isChecked(), allBooks);
            QCOMPARE(tips(w, 0).join("|"), january);
            QCOMPARE(w.monthTip(0, 1), QString("2026年2月\n收入: 0.00"));

            chooseYear(w, "2025");
            QCOMPARE(categories(w.monthChart()).size(), 12);
            QCOMPARE(categories(w.monthChart()).at(10), QString("11月"));
            QCOMPARE(tips(w, 10).join("|"), november);
            QCOMPARE(tips(w, 11).join("|"), december);
            // What is drawn follows the same sums.
            QBarSeries *bars = monthBars(w);
            QVERIFY(bars);
            QCOMPARE(bars->barSets().size(), 2);
            QVERIFY(balanceLine(w));
            QCOMPARE(balanceLine(w)->count(), 12);
            for (int m = 0; m < 12; ++m) {
                const chart::MonthFigures &f = w.shownMonths()[m];
                QCOMPARE(bars->barSets()[0]->at(m), f.income.toDouble());
                QCOMPARE(bars->barSets()[1]->at(m), f.expense.toDouble());
                QCOMPARE(balanceLine(w)->at(m), QPointF(m, f.balance.toDouble()));
            }
            // The other tab follows the same choice of books.
            showTab(w, 1);
            QCOMPARE(w.shownParties(true).size(), allBooks ? 3 : (current == 1 ? 2 : 1));
        });
        // Unticking goes back to the current book, in both tabs.
        if (allBooks) {
            whileOpen(w, [&] {
                clickBox(w.allBooksBox());
                QCOMPARE(w.shownParties(true).size(), 2);
                showTab(w, 0);
                chooseYear(w, "2026");
                QCOMPARE(tips(w, 0).join("|"), monthTips("2026年1月", "0.30", "0.00", "0.30", "0.00", "0.30"));
            });
        }
    }

    // A date text that is no date is counted under "其他", never dropped.
    void undatedEntriesUnderOther()
    {
        Ledger ledger;
        ledger.addEntry("收入", "2026- 3- 1", "a", "甲", "1.00", "1.00", "0.00");
        for (const char *bad : {"2026-13- 1", "2026- 2-30", "昨天", "", "2026- 3- 1 "})
            ledger.addEntry("收入", QString::fromUtf8(bad), "x", "乙", "2.05", "0.00", "2.05");
        ledger.dm->conn_jz_m.exec("insert into jz_ab (b1,b2,b8,b9,b10,b14) values ('支出',NULL,'0.5','0','0.5','1')");
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        whileOpen(w, [&] {
            QCOMPARE(comboItems(w.yearBox()), (QStringList{"2026", "其他"}));
            QCOMPARE(w.monthTip(0, 2), QString("2026年3月\n收入: 1.00"));
            chooseYear(w, "其他");
            QCOMPARE(categories(w.monthChart()), QStringList{"其他"});
            QCOMPARE(tips(w, 0).join("|"),
                     monthTips("其他", "10.25", "0.50", "10.25", "0.50", "9.75"));
        });
    }

    void monthOfDateText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("year");   // 0: no date
        QTest::addColumn<int>("month");
        QTest::newRow("stored form") << "2012- 8-27" << 2012 << 8;
        QTest::newRow("two-digit month") << "2012-12- 1" << 2012 << 12;
        QTest::newRow("zeros for blanks") << "2012-08-07" << 2012 << 8;
        QTest::newRow("no padding") << "2012-8-7" << 2012 << 8;
        QTest::newRow("leap day") << "2024- 2-29" << 2024 << 2;
        QTest::newRow("no such day") << "2023- 2-29" << 0 << 0;
        QTest::newRow("month 13") << "2012-13- 1" << 0 << 0;
        QTest::newRow("month 0") << "2012- 0- 1" << 0 << 0;
        QTest::newRow("short year") << "12- 8-27" << 0 << 0;
        QTest::newRow("trailing blank") << "2012- 8-27 " << 0 << 0;
        QTest::newRow("time after it") << "2012- 8-27 9:00:00" << 0 << 0;
        QTest::newRow("slashes") << "2012/ 8/27" << 0 << 0;
        QTest::newRow("wide digits") << "２０１２- 8-27" << 0 << 0;
        QTest::newRow("empty") << "" << 0 << 0;
    }
    void monthOfDateText()
    {
        QFETCH(QString, text);
        QFETCH(int, year);
        QFETCH(int, month);
        int y = 0, m = 0;
        const bool isDate = chart::monthOf(text, y, m);
        QCOMPARE(isDate, year != 0);
        if (isDate) {
            QCOMPARE(y, year);
            QCOMPARE(m, month);
        }
    }

    // The ten largest counterparties by total, income and expense apart, the rest summed.
    void topTenCounterparties()
    {
        Ledger ledger;
        // Twelve income parties: 单位1 has 1.01, 单位12 has 12.01; 单位5 in two entries.
        for (int i = 1; i <= 12; ++i)
            ledger.addEntry("收入", "2026- 1- 1", "x", QString("单位%1").arg(i),
                            i == 5 ? "2.00" : QString("%1.01").arg(i), "0", "0");
        ledger.addEntry("收入", "2026- 1- 2", "x", "单位5", "3.01", "0", "0");
        // Expenses: one party, and entries of another book that must not count.
        ledger.addEntry("支出", "2026- 1- 1", "x", "单位1", "8.00", "8.00", "0");
        ledger.addBook(2, "二号");
        ledger.addEntry("收入", "2026- 1- 1", "x", "别处", "1000.00", "0", "0", "2");
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        whileOpen(w, [&] {
            showTab(w, 1);
            QStringList income;
            for (const chart::PartyFigure &p : w.shownParties(true))
                income << p.party + "=" + p.total;
            QCOMPARE(income, (QStringList{"单位12=12.01", "单位11=11.01", "单位10=10.01", "单位9=9.01",
                                          "单位8=8.01", "单位7=7.01", "单位6=6.01", "单位5=5.01",
                                          "单位4=4.01", "单位3=3.01", "其他=3.02"}));
            QVERIFY(w.shownParties(true).last().rest);
            QCOMPARE(w.partyTip(true, 10), QString("其他\n收入: 3.02"));
            QCOMPARE(w.partyTip(false, 0), QString("单位1\n支出: 8.00"));
            QCOMPARE(w.shownParties(false).size(), 1);
            // Drawn bottom up: the rest at the bottom, the largest at the top.
            const QStringList drawn = categories(w.incomePartyChart());
            QCOMPARE(drawn.first(), QString("其他"));
            QCOMPARE(drawn.last(), QString("单位12"));
            QCOMPARE(w.tabs()->tabText(1), QString("往来单位"));

            // Every book: the other book's party leads.
            clickBox(w.allBooksBox());
            QCOMPARE(w.partyTip(true, 0), QString("别处\n收入: 1000.00"));
            QCOMPARE(w.partyTip(true, 10), QString("其他\n收入: 6.03"));
        });
    }

    // Sums stay exact decimals: beyond what a double holds, and negative balances.
    // Summed from the book in memory, the figures are those of the grouped statements: odd
    // date texts, NULL and empty counterparties (one unnamed party), ties in the top ten,
    // NULL amounts and amounts as other tools write them.
    void memoryMatchesStatements()
    {
        Ledger l;
        const char *const dates[] = {"2026- 1- 5", "2026-01-05", "2026- 2-30", "", "明天", "2025-12-31"};
        const char *const names[] = {"甲", "", "乙", "丙", "甲", "丁"};
        const char *const amounts[] = {"1.10", "1e3", " 12 ", "12abc", "0.20", "5"};
        for (int i = 0; i < 36; ++i)
            l.addEntry(i % 3 ? "收入" : "支出", dates[i % 6], "x", names[(i / 6) % 6], amounts[(i + i / 6) % 6],
                       "0", amounts[(i / 2) % 6]);
        l.dm->conn_jz_m.exec("insert into jz_ab (b1,b2,b4,b5,b14) values ('收入',NULL,NULL,'2.00','1')");
        l.dm->conn_jz_m.exec("insert into jz_ab (b1,b2,b4,b8,b14) values ('支出','2026- 3- 1',NULL,NULL,'1')");
        // Equal totals keep the engine's order of groups (by text), whatever the entries' order.
        l.addEntry("收入", "2026- 4- 1", "x", "A", "7.00", "0", "0");
        l.addEntry("收入", "2026- 4- 1", "x", "Z", "7.00", "0", "0");
        l.addBook(2, "二号");
        l.addEntry("收入", "2026- 1- 5", "x", "甲", "99.00", "0", "0", "2");
        l.makeCurrent(1);
        BookRefresh::full(*l.dm);
        BookCache *cache = &BookCache::of(*l.dm);
        QVERIFY(chart::holdsBook(cache, "1"));

        chart::Figures fromMemory, fromStatements;
        chart::loadMonths(l.dm->conn_jz_m, "1", false, fromMemory, cache);
        chart::loadParties(l.dm->conn_jz_m, "1", false, fromMemory, cache);
        chart::loadMonths(l.dm->conn_jz_m, "1", false, fromStatements);
        chart::loadParties(l.dm->conn_jz_m, "1", false, fromStatements);
        auto months = [](const chart::Figures &f) {
            QStringList out;
            for (const chart::MonthFigures &m : f.months)
                out << QStringList{QString::number(m.year), QString::number(m.month), m.income, m.expense,
                                   m.receivable, m.payable, m.balance}.join(",");
            return out;
        };
        auto parties = [](const QList<chart::PartyFigure> &list) {
            QStringList out;
            for (const chart::PartyFigure &p : list)
                out << p.party + "=" + p.total + (p.rest ? "*" : "");
            return out;
        };
        QCOMPARE(months(fromMemory), months(fromStatements));
        QCOMPARE(fromMemory.years, fromStatements.years);
        QCOMPARE(fromMemory.hasOther, true);
        QCOMPARE(parties(fromMemory.topIncome), parties(fromStatements.topIncome));
        QCOMPARE(parties(fromMemory.topExpense), parties(fromStatements.topExpense));

        // A change the book in memory has not seen sends the figures to the engine.
        l.dm->conn_jz_m.exec("update jz_ab set b5 = '1000000.00' where b4 = '丁'");
        QVERIFY(!chart::holdsBook(cache, "1"));
        chart::Figures after;
        chart::loadParties(l.dm->conn_jz_m, "1", false, after, cache);
        QCOMPARE(after.topIncome.value(0).party, QString("丁"));
    }

    void decimalArithmetic_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<int>("order");   // compare(a, b)
        QTest::newRow("tenths") << "0.1" << "0.2" << "0.3" << -1;
        QTest::newRow("cancel") << "-0.1" << "0.1" << "0" << -1;
        QTest::newRow("borrow") << "100" << "-0.01" << "99.99" << 1;
        QTest::newRow("below zero") << "-5.5" << "2.25" << "-3.25" << -1;
        QTest::newRow("both negative") << "-2" << "-10" << "-12" << 1;
        QTest::newRow("carry") << "99999999999999999999.99" << "0.01" << "100000000000000000000" << 1;
        QTest::newRow("beyond double") << "12345678901234567890.12" << "0.01" << "12345678901234567890.13" << 1;
        QTest::newRow("same value") << "1.50" << "1.5" << "3" << 0;
        QTest::newRow("longer is not larger") << "9.99" << "10" << "19.99" << -1;
        QTest::newRow("no decimal counts 0") << "abc" << "1" << "1" << -1;
    }
    void decimalArithmetic()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, sum);
        QFETCH(int, order);
        QCOMPARE(chart::decimalAdd(a, b), sum);
        QCOMPARE(chart::decimalAdd(b, a), sum);
        QCOMPARE(chart::decimalCompare(a, b), order);
        QCOMPARE(chart::decimalCompare(b, a), -order);
    }

    // Hovering a bar or a point of the line tells its month and the exact sum.
    void hoverShowsExactSum()
    {
        Ledger ledger;
        ledger.addEntry("收入", "2026- 4- 1", "x", "甲", "0.10", "0", "0.10");
        ledger.addEntry("收入", "2026- 4- 2", "x", "甲", "0.20", "0", "0.20");
        ledger.addEntry("支出", "2026- 4- 3", "x", "乙", "0.05", "0", "0.05");
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        QString barTip, lineTip, partyTipShown;
        whileOpen(w, [&] {
            auto *view = w.findChild<QChartView *>("chartMonthView");
            QVERIFY(view);
            auto hoverAt = [&](QChartView *v, QAbstractSeries *series, const QPointF &value) {
                QChart *c = v->chart();
                const QPoint at = v->mapFromScene(c->mapToScene(c->mapToPosition(value, series)));
                QTest::mouseMove(v->viewport(), at + QPoint(0, 1));
                QTest::mouseMove(v->viewport(), at);
                return QToolTip::isVisible() ? QToolTip::text() : QString("<no tip>");
            };
            // Income bars stand left of the month's centre.
            barTip = hoverAt(view, monthBars(w), QPointF(3 - 0.15, 0.15));
            lineTip = hoverAt(view, balanceLine(w), balanceLine(w)->at(3));
            showTab(w, 1);
            auto *party = w.findChild<QChartView *>("chartIncomePartyView");
            QAbstractSeries *bars = party->chart()->series().value(0);
            partyTipShown = hoverAt(party, bars, QPointF(0.15, 0));
        });
        QCOMPARE(barTip, QString("2026年4月\n收入: 0.30"));
        QCOMPARE(lineTip, QString("2026年4月\n应收: 0.30\n应付: 0.05\n应收减应付: 0.25"));
        QCOMPARE(partyTipShown, QString("甲\n收入: 0.30"));
    }

    // The engine's decimal sum and the window's own arithmetic together, on amounts a
    // float sum would get wrong.
    void largeAmountsStayExact()
    {
        Ledger ledger;
        ledger.addEntry("收入", "2026- 5- 1", "x", "甲", "12345678901234567890.12", "0", "12345678901234567890.12");
        ledger.addEntry("收入", "2026- 5- 2", "x", "甲", "0.01", "0", "0.01");
        ledger.addEntry("支出", "2026- 5- 3", "x", "乙", "0.1", "0", "12345678901234567890.14");
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        whileOpen(w, [&] {
            QCOMPARE(tips(w, 4).join("|"),
                     monthTips("2026年5月", "12345678901234567890.13", "0.10", "12345678901234567890.13",
                               "12345678901234567890.14", "-0.01"));
            showTab(w, 1);
            QCOMPARE(w.partyTip(true, 0), QString("甲\n收入: 12345678901234567890.13"));
            // The axis labels carry two decimals.
            for (QAbstractAxis *a : w.monthChart()->axes())
                if (auto *v = qobject_cast<QValueAxis *>(a))
                    QCOMPARE(v->labelFormat(), QString("%.2f"));
        });
    }

    // The value axes span the data with a little room, in the current book and in all books.
    void axisFollowsData()
    {
        Ledger ledger;
        ledger.addEntry("支出", "2026- 5- 3", "x", "乙", "-12.50", "-12.50", "0.00");
        BookRefresh::full(*ledger.dm);
        Tchart w(ledger.dm.get());
        auto range = [](QChart *c) {
            for (QAbstractAxis *a : c->axes())
                if (auto *v = qobject_cast<QValueAxis *>(a))
                    return QPair<double, double>(v->min(), v->max());
            return QPair<double, double>(0, 0);
        };
        whileOpen(w, [&] {
            for (int all = 0; all < 2; ++all) {
                if (all)
                    clickBox(w.allBooksBox());
                for (int tab = 0; tab < 2; ++tab) {
                    showTab(w, tab);
                    const auto [low, high] = range(tab == 0 ? w.monthChart() : w.expensePartyChart());
                    QVERIFY2(low <= -12.5 && low >= -20 && high >= 0 && high <= 5,
                             qPrintable(QStringLiteral("%1 .. %2").arg(low).arg(high)));
                }
            }
        });
    }

    // A sum the engine cannot compute is reported in the error box; the window still opens.
    void failingSumReported()
    {
        Ledger ledger;
        BookRefresh::full(*ledger.dm);
        ledger.addEntry("收入", "2026- 5- 1", "x", "甲", "1e999", "0", "0");
        Tchart w(ledger.dm.get());
        bool shown = false;
        whileOpen(w, [&] { shown = w.isVisible(); });
        QVERIFY(shown);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QCOMPARE(w.yearBox()->count(), 0);
    }

    // "图 表" in the statistics window opens the chart window modally, made on first use.
    void buttonOpensChartWindow()
    {
        Ledger ledger;
        fillTwoBooks(ledger);
        Tzongtongji stats(ledger.dm.get());
        QCOMPARE(stats.chartButton()->text(), QString("图 表"));
        QVERIFY(!stats.findChild<Tchart *>());
        int opened = 0;
        QString title, firstTab, secondTab;
        bool modal = false, resizable = false;
        QTimer::singleShot(0, &stats, [&] {
            QTimer::singleShot(0, &stats, [&] {
                auto *chart = stats.findChild<Tchart *>("Tchart");
                if (chart && chart->isVisible()) {
                    ++opened;
                    title = chart->windowTitle();
                    modal = chart->isModal();
                    resizable = chart->minimumSize() != chart->maximumSize();
                    firstTab = chart->tabs()->tabText(0);
                    secondTab = chart->tabs()->tabText(1);
                    chart->reject();
                }
            });
            QTest::mouseClick(stats.chartButton(), Qt::LeftButton);
            stats.reject();
        });
        stats.exec();
        QCOMPARE(opened, 1);
        QCOMPARE(title, QString("收支图表"));
        QVERIFY(modal);
        QVERIFY(resizable);
        QCOMPARE(firstTab, QString("月度收支"));
        QCOMPARE(secondTab, QString("往来单位"));
        // Below the six rows, inside the window's own size.
        QVERIFY(stats.chartButton()->geometry().top() >= 220);
        QVERIFY(stats.rect().contains(stats.chartButton()->geometry()));
        QVERIFY(msg::shown().isEmpty());
    }
};

QTEST_MAIN(TestChartWindow)
#include "tst_chart_window.moc"
