#include "bench_steps.h"

#include <QApplication>
#include <QCheckBox>
#include <ctime>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <fstream>
#include <sys/resource.h>
#include <string>
#include "app/main_window.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "books/switch_dialog.h"
#include "books/title_sort.h"
#include "data/data_module.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "help/about_window.h"
#include "help/guide_window.h"
#include "help/web_window.h"
#include "printing/report_engine.h"
#include "printing/report_project.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "summaries/chart_window.h"
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

// "切  换" in the switch dialog, from the large book 1 to the small book 2 and back: the
// demotion and promotion, the book list and the whole book refresh, the page repainted.
void runBookSwitchSteps(TDataModule2 &dm, Tmain *main, Results &r)
{
    Tqiehuan dialog(&dm, main);
    QElapsedTimer t;
    auto switchTo = [&](const QString &key, const QString &label) {
        Query *list = dm.Query_jz_aa;
        for (int row = 0; row < list->rowCount(); ++row)
            if (list->value(row, QStringLiteral("aid")) == key)
                list->setCurrentRow(row);
        QApplication::processEvents();
        timespec a{}, b{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
        t.restart();
        dialog.bsSkinButton1Click();
        r.add(label, msSince(t));
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
        r.add(label + " cpu", (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6);
    };
    switchTo(QStringLiteral("2"), QStringLiteral("book switch to small"));
    // The small book must not pay for the large ones beside it.
    if (main) {
        t.restart();
        main->bsSkinButtonsBar1Sections0Items2Click();
        r.add(QStringLiteral("small book: page switch 账本"), msSince(t));
        QuickSearch *search = main->accountBookPage()->quickSearch();
        search->kindBox()->setCurrentIndex(2);   // 支出
        search->bsSkinButton1Click();
        r.add(QStringLiteral("small book: quick search 支出"), msSince(t));
        search->bsSkinButton2Click();
        t.restart();
        main->bsSkinButtonsBar1Sections0Items0Click();
        r.add(QStringLiteral("small book: enter 收入汇总"), msSince(t));
        main->bsSkinButtonsBar1Sections0Items2Click();
    }
    switchTo(QStringLiteral("1"), QStringLiteral("book switch to large"));
}

// A line of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stod(line.substr(prefix.size())) / 1024.0;
    return 0;
}

// User and system time of this process so far, in ms (the machine's load does not count).
double cpuMs()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// Starts the peak (VmHWM) afresh at the current size.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
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
    main.bsSkinButtonsBar1Sections0Items2Click();
    r.add("page switch 账本 again", msSince(t));
    Tzongtongji statistics(&dm, &main);
    t.restart();
    statistics.FormShow();
    r.add("statistics figures", msSince(t));
}

} // namespace

void runPdfStep(const QString &dir, Results &r)
{
    msg::setScripted(true);
    report::setScripted(true);
    // The project files beside the program in the build tree.
    ReportFiles::setFolders({QCoreApplication::applicationDirPath() + QStringLiteral("/../print")});
    Program program(dir);
    program.mainWindow()->resize(972, 626);
    program.show();
    QApplication::processEvents();
    program.mainWindow()->bsSkinButtonsBar1Sections0Items2Click();
    QApplication::processEvents();
    auto *print = program.mainWindow()->accountBookPage()->findChild<QToolButton *>(QStringLiteral("bsSkinSpeedButton9"));

    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("book.pdf"));
    report::clearRuns();
    report::setNextOutput(report::Output::Pdf, file);
    const double before = statusMiB("VmRSS");
    resetPeak();
    QElapsedTimer t;
    t.start();
    const double cpu = cpuMs();
    print->click();
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpuUsed = cpuMs() - cpu;
    const double peak = statusMiB("VmHWM");
    const QList<report::Run> runs = report::runs();
    r.add(QStringLiteral("PDF of the book"), ms);
    r.add(QStringLiteral("PDF CPU ms"), cpuUsed);
    r.add(QStringLiteral("PDF MiB above"), peak - before);
    r.add(QStringLiteral("PDF pages"), runs.isEmpty() ? 0 : runs.last().pages);
    r.add(QStringLiteral("PDF file MiB"), QFileInfo(file).size() / 1048576.0);
    if (!msg::shown().isEmpty())
        std::fprintf(stderr, "PDF: %s\n", qPrintable(msg::lastShown().text));
}

void runExportSteps(const QString &dir, Results &r)
{
    msg::setScripted(true);
    report::setScripted(true);
    ReportFiles::setFolders({QCoreApplication::applicationDirPath() + QStringLiteral("/../print")});
    Program program(dir);
    program.mainWindow()->resize(972, 626);
    program.show();
    QApplication::processEvents();
    program.mainWindow()->bsSkinButtonsBar1Sections0Items2Click();
    QApplication::processEvents();
    auto *print = program.mainWindow()->accountBookPage()->findChild<QToolButton *>(QStringLiteral("bsSkinSpeedButton9"));

    QTemporaryDir out;
    const struct {
        report::Output output;
        const char *file;
        const char *label;
    } steps[] = {{report::Output::Excel, "book.xlsx", "Excel"}, {report::Output::Csv, "book.csv", "CSV"}};
    for (const auto &step : steps) {
        const QString file = out.filePath(QString::fromLatin1(step.file));
        const QString label = QString::fromLatin1(step.label);
        report::clearRuns();
        msg::clearShown();
        report::setNextOutput(step.output, file);
        const double before = statusMiB("VmRSS");
        resetPeak();
        QElapsedTimer t;
        t.start();
        const double cpu = cpuMs();
        print->click();
        const double ms = t.nsecsElapsed() / 1e6;
        const double cpuUsed = cpuMs() - cpu;
        const double peak = statusMiB("VmHWM");
        r.add(label + QStringLiteral(" of the book"), ms);
        r.add(label + QStringLiteral(" CPU ms"), cpuUsed);
        r.add(label + QStringLiteral(" MiB above"), peak - before);
        r.add(label + QStringLiteral(" file MiB"), QFileInfo(file).size() / 1048576.0);
        if (!msg::shown().isEmpty())
            std::fprintf(stderr, "%s: %s\n", step.label, qPrintable(msg::lastShown().text));
    }
}

void runWindowSteps(TDataModule2 &dm, Results &r)
{
    msg::setScripted(true);
    QElapsedTimer t;
    t.start();
    Tmain main;
    main.attachData(&dm);
    // Created as at start, in the start's order; not handed to the main window, so no
    // iset.ini of the machine can hold the run in a modal guide.
    Thelp guide(&main);
    Tabout about(&main);
    Thezi service(&main);
    Tnew_shouru newIncome(&dm, &main);
    Tnew_zhichu newExpense(&dm, &main);
    Tedit_shouru editIncome(&dm, &main);
    Tedit_zhichu editExpense(&dm, &main);
    Tqoravi sponsor(&main);
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
    page->bsSkinSpeedButton4Click();
    r.add("刷新", msSince(t));

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

    // The detail windows, as start-up creates them, then 明 细 on entry 100 (ten lines; the
    // list ends with entries 100 .. 1), shown without a modal loop.
    Tmingxi details(&dm, &main);
    Tedit_mingxi editDetail(&dm, &main);
    Tnew_mingxi newDetail(&dm, &main);
    details.setDialogs(&newDetail, &editDetail);
    r.add("detail windows created", msSince(t));
    page->setDetailHook([&details](const QString &line, const QString &key, const QString &caption) {
        details.setEntryLine(line);
        details.setEntryKey(key);
        details.setWindowTitle(caption);
        details.show();
    });
    dm.Query_jz_ab->setCurrentRow(dm.Query_jz_ab->rowCount() - 100);
    t.restart();
    page->bsSkinSpeedButton12Click();
    r.add("open details", msSince(t));

    newDetail.setEntryKey(details.entryKey());
    newDetail.show();
    QApplication::processEvents();
    newDetail.findChild<QLineEdit *>("bsSkinEdit6")->setText("基准");
    newDetail.findChild<QLineEdit *>("bsSkinEdit7")->setText("基准明细");
    t.restart();
    newDetail.findChild<QPushButton *>("bsSkinButton1")->click();
    r.add("save detail line", msSince(t));

    runBookSwitchSteps(dm, &main, r);
}

// "图 表" of the statistics window: the chart window made, its figures read for the current
// book and drawn once; then "全部账本" ticked, which reads every book.
void runChartStep(TDataModule2 &dm, Results &r)
{
    msg::setScripted(true);
    QElapsedTimer t;
    t.start();
    Tchart chart(&dm);
    chart.show();
    chart.grab();
    r.add("chart window", msSince(t));
    QCheckBox *all = chart.allBooksBox();
    all->setChecked(true);
    chart.grab();
    r.add("chart all books", msSince(t));
    if (!msg::shown().isEmpty())
        std::fprintf(stderr, "chart window: %s\n", qPrintable(msg::lastShown().text));
}

} // namespace bench
