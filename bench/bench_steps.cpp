#include "bench_steps.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include "app/main_window.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "books/title_sort.h"
#include "data/data_module.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "summaries/statistics_window.h"
#include "summaries/summary_page.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

namespace bench {
namespace {

double msSince(QElapsedTimer &t)
{
    QApplication::processEvents();
    const double ms = t.nsecsElapsed() / 1e6;
    t.restart();
    return ms;
}

// The two summary pages entered from the navigation bar, and the statistics figures.
void runSummarySteps(TDataModule2 &dm, Tmain &main, Results &r)
{
    QElapsedTimer t;
    t.start();
    main.bsSkinButtonsBar1Sections0Items0Click();
    r.add("enter 收入汇总", msSince(t));
    main.bsSkinButtonsBar1Sections0Items1Click();
    r.add("enter 支出汇总", msSince(t));
    main.bsSkinButtonsBar1Sections0Items0Click();
    r.add("enter 收入汇总 again", msSince(t));
    Tzongtongji statistics(&dm, &main);
    t.restart();
    statistics.FormShow();
    r.add("statistics figures", msSince(t));
}

} // namespace

void runWindowSteps(TDataModule2 &dm, Results &r)
{
    msg::setScripted(true);
    QElapsedTimer t;
    t.start();
    Tmain main;
    main.attachData(&dm);
    Tnew_shouru newIncome(&dm, &main);
    Tnew_zhichu newExpense(&dm, &main);
    Tedit_shouru editIncome(&dm, &main);
    Tedit_zhichu editExpense(&dm, &main);
    main.setEntryDialogs(&newIncome, &newExpense, &editIncome, &editExpense);
    main.resize(972, 626);
    main.show();
    r.add("main window ready", msSince(t));

    main.bsSkinButtonsBar1Sections0Items2Click();
    r.add("page switch 账本", msSince(t));

    // Right after start, before anything else has read the book.
    runSummarySteps(dm, main, r);
    t.restart();

    TFr_zhangben *page = main.accountBookPage();
    QuickSearch *search = page->quickSearch();
    search->kindBox()->setCurrentIndex(2);   // 支出
    search->bsSkinButton1Click();
    r.add("quick search 支出", msSince(t));
    search->bsSkinButton2Click();
    r.add("clear search", msSince(t));

    const int dateColumn = 2, totalColumn = 5;
    page->titleSort()->titleClick(dateColumn);
    r.add("sort 日期", msSince(t));
    page->titleSort()->titleClick(totalColumn);
    r.add("sort 收入总额", msSince(t));

    // One new entry, from "保  存" to the grid and totals updated.
    newIncome.setBookKey(page->bookKey());
    newIncome.show();
    QApplication::processEvents();
    newIncome.findChild<QLineEdit *>("bsSkinEdit4")->setText("基准");
    newIncome.findChild<QLineEdit *>("bsSkinEdit5")->setText("基准单位");
    newIncome.findChild<AmountField *>("bsSkinEdit1")->setText("12.34");
    t.restart();
    newIncome.findChild<QPushButton *>("bsSkinButton1")->click();
    r.add("save new entry", msSince(t));
}

} // namespace bench
