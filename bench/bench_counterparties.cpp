// The counterparty window on the bench's ledger: the summary of the large book and of every
// book, and the statement of a counterparty with 10 000 entries, each until its figures show,
// with the longest time the window's thread went without turning its event loop meanwhile.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include "bench_steps.h"
#include "counterparties/counterparty_window.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/query.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

namespace bench {

namespace {

const char kParty[] = "对账单位";
constexpr int kStatementEntries = 10000;

// Runs what asks for figures, then waits for them; returns the time from the start of the
// request, and (stall) the longest the window's thread went without turning its event loop,
// the request itself included.
double cpuMs()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// The processor time of the process (both threads) for the last timed step.
double g_cpu = 0;

template <typename F>
double timed(Twanglai &w, double &stall, F &&request)
{
    QElapsedTimer t, gap;
    const double cpu = cpuMs();
    t.start();
    request();
    stall = t.nsecsElapsed() / 1e6;
    gap.start();
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        stall = std::max(stall, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    tick.start();
    while (w.pending())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    stall = std::max(stall, gap.nsecsElapsed() / 1e6);
    w.grab();
    g_cpu = cpuMs() - cpu;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

void fillStatementParty(const QString &dir)
{
    TDataModule2 dm(dir);
    Connection &c = dm.conn_jz_m;
    Query count(&c, "count");
    count.setSql("select count(*) from jz_ab where b14 = '3' and b4 = :p");
    count.bind(":p", QString::fromUtf8(kParty));
    count.open();
    if (count.value(0, 0).toInt() >= kStatementEntries)
        return;
    Connection::Transaction t(c);
    for (int i = 0; i < kStatementEntries; ++i)
        c.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)",
               {{":a", QStringLiteral("收入")}, {":b", QString::asprintf("%4d-%2d-%2d", 2010 + i % 16, 1 + i % 12, 1 + i % 28)},
                {":c", QStringLiteral("对账%1").arg(i)}, {":d", QString::fromUtf8(kParty)}, {":e", "12.34"},
                {":f", "2.34"}, {":g", "10.00"}, {":h", "3"}});
    t.commit();
}

void runCounterpartySteps(TDataModule2 &dm, Results &r)
{
    msg::setScripted(true);
    double stall = 0;
    std::unique_ptr<Twanglai> w;
    r.add("往来对账 summary", timed(*(w = std::make_unique<Twanglai>(&dm)), stall, [&] { w->show(); }));
    r.add("往来对账 summary: longest stall", stall);
    r.add("往来对账 summary cpu", g_cpu);
    r.add("往来对账 all books", timed(*w, stall, [&] { w->allBooksBox()->setChecked(true); }));
    r.add("往来对账 all books: longest stall", stall);
    r.add("往来对账 all books cpu", g_cpu);
    const Query *rows = w->summaryGrid()->query();
    int at = -1;
    for (int i = 0; i < rows->rowCount(); ++i)
        if (rows->value(i, 0) == QString::fromUtf8(kParty))
            at = i;
    if (at < 0) {
        std::fprintf(stderr, "往来对账: no row of %s\n", kParty);
        return;
    }
    r.add("往来对账 statement 10k entries", timed(*w, stall, [&] { w->selectRow(at); }));
    r.add("往来对账 statement: longest stall", stall);
    r.add("往来对账 statement cpu", g_cpu);
    std::fprintf(stderr, "往来对账: statement of %d lines\n", w->statementGrid()->model()->rowCount());
    if (!msg::shown().isEmpty())
        std::fprintf(stderr, "往来对账: %s\n", qPrintable(msg::lastShown().text));
}

} // namespace bench
