// Benchmark: builds ledgers with the program's own code and times what the windows do.
//   tallyrue_bench                 all sizes, one child process each (for honest peak memory)
//   tallyrue_bench --size N        one size, one table of figures beside their targets
//   tallyrue_bench --backup N      the backup sets of the ledger of size N
//   tallyrue_bench --bin N         deleting a book of N entries with and without the bin
//   TALLYRUE_BENCH_ONLY=往来对账    with --size N: the counterparty window only
// Ledgers are kept under /tmp/tallyrue-bench/<N> (or $TALLYRUE_BENCH_DIR/<N>) and reused
// by later runs. The account-book PDF is written for sizes up to 100 000 (every size with
// TALLYRUE_BENCH_PDF_ALL set); the Excel and CSV exports of the same report at every size.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <sys/resource.h>
#include "bench_steps.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"

namespace {

long peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// The current book gets n entries; books 2 and 3 get n/10 each, so keys must not mix.
// Phrases come separately (fillPhrases).
void fill(const QString &dir, int n)
{
    TDataModule2 dm(dir);
    Connection &c = dm.conn_jz_m;
    Connection::Transaction t(c);
    c.exec("insert into jz_aa (a1,a2,a3,a6)values ('二号账本','2026-12-10 9:00:00','','0')");
    c.exec("insert into jz_aa (a1,a2,a3,a6)values ('三号账本','2026-12-10 9:00:00','','0')");
    const QString income = "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)";
    const QString expense = "insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)";
    auto add = [&](int i, const QString &book) {
        const bool in = i % 3 != 0;
        const qint64 cents = 100 + (qint64(i) * 7919) % 500000;
        const qint64 paid = cents - (i % 5 == 0 ? cents / 4 : 0);
        auto money = [](qint64 c) { return QString::asprintf("%lld.%02lld", c / 100, c % 100); };
        const QString date = QString::asprintf("%4d-%2d-%2d", 2000 + i % 26, 1 + i % 12, 1 + i % 28);
        c.exec(in ? income : expense,
               {{":a", in ? QStringLiteral("收入") : QStringLiteral("支出")}, {":b", date},
                {":c", QStringLiteral("摘要%1").arg(i % 997)}, {":d", QStringLiteral("单位名称%1").arg(i % 331)},
                {":e", money(cents)}, {":f", money(paid)}, {":g", money(cents - paid)}, {":h", book}});
    };
    for (int i = 0; i < n; ++i)
        add(i, "1");
    for (int i = 0; i < n / 10; ++i) {
        add(i, "2");
        add(i, "3");
    }
    t.commit();
}

// Targets of the two large sizes; 0 where an action has none at that size.
struct Target {
    const char *label;
    double at100k, at1M;
};
const Target kTargets[] = {
    {"start-up", 350, 1000},
    {"start-up ratio to empty", 1.5, 0},
    {"save new entry", 40, 250},
    {"quick search 支出", 40, 300},
    {"clear search", 40, 300},
    {"sort 日期", 40, 300},
    {"sort 收入总额", 40, 300},
    {"刷新", 40, 300},
    {"page switch 账本", 40, 300},
    {"enter 收入汇总", 40, 300},
    {"enter 支出汇总", 40, 300},
    {"enter 收入汇总 again", 40, 300},
    {"page switch 账本 again", 40, 300},
    {"small book: page switch 账本", 40, 300},
    {"small book: quick search 支出", 40, 300},
    {"small book: enter 收入汇总", 40, 300},
    {"book switch to small", 60, 400},
    {"book switch to large", 60, 400},
    {"open details", 60, 400},
    {"往来对账 summary", 1000, 1000},
    {"往来对账 summary: longest stall", 100, 100},
    {"往来对账 all books", 1000, 1000},
    {"往来对账 all books: longest stall", 100, 100},
    {"往来对账 statement 10k entries", 300, 300},
    {"往来对账 statement: longest stall", 100, 100},
    {"peak MiB", 120, 450},
};

double targetFor(const QString &label, int n)
{
    for (const Target &t : kTargets)
        if (label == QString::fromUtf8(t.label))
            return n == 100000 ? t.at100k : n == 1000000 ? t.at1M : 0;
    return 0;
}

QString unitOf(const QString &label)
{
    if (label.contains(QLatin1String("MiB")))
        return QStringLiteral("MiB");
    if (label.contains(QLatin1String("ratio")))
        return QStringLiteral("x");
    if (label.contains(QLatin1String("pages")))
        return QString();
    return QStringLiteral("ms");
}

// Pads to a width in terminal columns; Chinese characters take two.
QString padded(const QString &text, int columns)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1;
    return text + QString(qMax(0, columns - width), QLatin1Char(' '));
}

void printTable(int n, const bench::Results &r)
{
    std::printf("\n%d entries in the current book (%d in each of two other books)\n", n, n / 10);
    std::printf("%s %12s %12s\n", qPrintable(padded(QStringLiteral("action"), 36)), "figure", "target");
    int misses = 0;
    for (const auto &item : r.items) {
        const QString unit = unitOf(item.first);
        const double target = targetFor(item.first, n);
        const bool miss = target > 0 && (item.second > target || item.second < 0);
        misses += miss;
        const QString figure = QString::number(item.second, 'f', unit == QLatin1String("x") ? 2 : 1) + QLatin1Char(' ') + unit;
        const QString goal = target > 0 ? QString::number(target) + QLatin1Char(' ') + unit : QString();
        std::printf("%s %12s %12s%s\n", qPrintable(padded(item.first, 36)), qPrintable(figure), qPrintable(goal),
                    miss ? "  MISS" : "");
    }
    if (n == 100000 || n == 1000000)
        std::printf("%d target(s) missed\n", misses);
    std::fflush(stdout);
}

double msSince(QElapsedTimer &t)
{
    const double ms = t.nsecsElapsed() / 1e6;
    t.restart();
    return ms;
}

// Every save of an entry adds its summary and counterparty to the phrase lists, so a
// ledger of n entries typed by hand comes with n phrases in each list.
void fillPhrases(const QString &dir, int n)
{
    TDataModule2 dm(dir);
    Connection &c = dm.conn_jz_f;
    Query count(&c, "count");
    count.setSql("select count(*) from a1");
    count.open();
    if (count.value(0, 0).toInt() >= n)
        return;
    Connection::Transaction t(c);
    for (int i = 0; i < n; ++i) {
        c.exec("insert into a1 (z1)values (:a)", {{":a", QStringLiteral("摘要%1").arg(i % 997)}});
        c.exec("insert into a2 (z1)values (:a)", {{":a", QStringLiteral("单位名称%1").arg(i % 331)}});
    }
    t.commit();
}

// Ten detail lines on every hundredth entry of the current book.
void fillDetails(const QString &dir, int n)
{
    TDataModule2 dm(dir);
    Connection &c = dm.conn_jz_u;
    Query count(&c, "count");
    count.setSql("select count(*) from jz_ua");
    count.open();
    if (count.value(0, 0).toInt() >= n / 10)
        return;
    Connection::Transaction t(c);
    for (int entry = 100; entry <= n; entry += 100)
        for (int i = 0; i < 10; ++i)
            c.exec("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6)values (:a,:b,:c,:d,:e,:f)",
                   {{":a", QStringLiteral("类别%1").arg(i)}, {":b", "2012-10- 6"}, {":c", "明细摘要"},
                    {":d", ""}, {":e", QStringLiteral("%1.50").arg(i)}, {":f", QString::number(entry)}});
    t.commit();
}

int runOne(int n)
{
    const QString base = qEnvironmentVariable("TALLYRUE_BENCH_DIR", QStringLiteral("/tmp/tallyrue-bench"));
    const QString dir = QStringLiteral("%1/%2").arg(base).arg(n);
    if (!QFile::exists(dir + "/qel_jz_m.dll")) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        QElapsedTimer f;
        f.start();
        fill(dir, n);
        std::fprintf(stderr, "filled %d entries in %.1f s\n", n, f.nsecsElapsed() / 1e9);
    }
    fillPhrases(dir, n);
    fillDetails(dir, n);
    bench::fillStatementParty(dir);
    bench::Results r;
    // First, while this process is small: the program's own start is another process.
    if (!qEnvironmentVariableIsSet("TALLYRUE_BENCH_NO_START"))
        bench::runStartUpSteps(dir, r);
    QElapsedTimer t;
    t.start();
    TDataModule2 dm(dir);
    r.add("open files", msSince(t));
    BookRefresh::full(dm);
    r.add("first book refresh", msSince(t));
    BookRefresh::rerunEntries(dm);
    BookRefresh::loadTotals(dm);
    r.add("re-run + six totals", msSince(t));
    BookRefresh::loadTotals(dm);
    r.add("six totals", msSince(t));
    // TALLYRUE_BENCH_ONLY=往来对账 times the counterparty window alone.
    const bool all = qEnvironmentVariable("TALLYRUE_BENCH_ONLY") != QStringLiteral("往来对账");
    if (all) {
        bench::runWindowSteps(dm, r);
        bench::runChartStep(dm, r);
    }
    bench::runCounterpartySteps(dm, r);
    r.add("peak MiB", double(peakRssMiB()));
    // A million-row PDF is a few thousand pages more of the same; the larger sizes skip it.
    if (all && (n <= 100000 || qEnvironmentVariableIsSet("TALLYRUE_BENCH_PDF_ALL")))
        bench::runPdfStep(dir, r);
    if (all)
        bench::runExportSteps(dir, r);
    printTable(n, r);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tallyrue");
    const QStringList args = app.arguments();
    const int at = args.indexOf("--size");
    if (at >= 0 && at + 1 < args.size())
        return runOne(args[at + 1].toInt());
    if (const int b = args.indexOf("--backup"); b >= 0 && b + 1 < args.size())
        return bench::runBackup(qEnvironmentVariable("TALLYRUE_BENCH_DIR", QStringLiteral("/tmp/tallyrue-bench"))
                                + "/" + args[b + 1]);
    if (const int b = args.indexOf("--bin"); b >= 0 && b + 1 < args.size())
        return bench::runBin(qEnvironmentVariable("TALLYRUE_BENCH_DIR", QStringLiteral("/tmp/tallyrue-bench")),
                             args[b + 1].toInt());
    if (args.contains("--help")) {
        std::printf("tallyrue_bench [--size N | --backup N | --bin N]\n");
        return 0;
    }
    QList<int> sizes{10000, 100000, 1000000};
    for (int n : sizes) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(args[0], {"--size", QString::number(n)});
        p.waitForFinished(-1);
        std::printf("%s", p.readAllStandardOutput().constData());
        std::fflush(stdout);
    }
    return 0;
}
