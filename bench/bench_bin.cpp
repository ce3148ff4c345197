// The bin's cost on a large book: the switch dialog's delete of a book as it was, the same
// delete keeping its copy in the bin, then putting the book back and removing it for good.
// Each delete runs on a fresh copy of one ledger, so both start from the same file.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include "bench_steps.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/recycle_bin.h"
#include "data/schema.h"

namespace {

// Book 2 holds n entries and is not current; book 1 a few.
void fillBin(const QString &dir, int n)
{
    TDataModule2 dm(dir);
    Connection &c = dm.conn_jz_m;
    Connection::Transaction t(c);
    c.exec("insert into jz_aa (aid,a1,a2,a3,a6)values (2,'大账本','2026-12-10 9:00:00','','0')");
    const QString income = "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)";
    for (int i = 0; i < n; ++i) {
        const qint64 cents = 100 + (qint64(i) * 7919) % 500000;
        const QString money = QString::asprintf("%lld.%02lld", cents / 100, cents % 100);
        c.exec(income, {{":a", QStringLiteral("收入")}, {":b", QString::asprintf("%4d-%2d-%2d", 2000 + i % 26, 1 + i % 12, 1 + i % 28)},
                        {":c", QStringLiteral("摘要%1").arg(i % 997)}, {":d", QStringLiteral("单位名称%1").arg(i % 331)},
                        {":e", money}, {":f", money}, {":g", "0.00"}, {":h", "2"}});
    }
    for (int i = 0; i < 10; ++i)
        c.exec(income, {{":a", QStringLiteral("收入")}, {":b", "2026-12- 1"}, {":c", "小"}, {":d", "小"},
                        {":e", "1.00"}, {":f", "1.00"}, {":g", "0.00"}, {":h", "1"}});
    t.commit();
}

void copyFiles(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (const Schema::DataFile &f : Schema::all())
        QFile::copy(from + "/" + f.fileName, to + "/" + f.fileName);
}

double ms(QElapsedTimer &t)
{
    const double v = t.nsecsElapsed() / 1e6;
    t.restart();
    return v;
}

// The switch dialog's delete of book 2, as one transaction; with the bin's copy or without.
double deleteBook(const QString &dir, bool keep)
{
    TDataModule2 dm(dir);
    BookRefresh::full(dm);
    Query *list = dm.Query_jz_aa;
    list->setCurrentRow(0);   // the newest book: 2
    QElapsedTimer t;
    t.start();
    Connection::Transaction tr(dm.conn_jz_m);
    if (keep)
        RecycleBin::keepBook(dm, "2");
    dm.conn_jz_m.exec("delete from jz_ab where b14 = :a", {{":a", "2"}});
    list->deleteCurrentRow();
    dm.conn_jz_m.exec("update jz_aa set a6=:a where aid=:b and not exists (select 1 from jz_aa where a6=:a)",
                      {{":a", "1"}, {":b", "1"}});
    tr.commit();
    return ms(t);
}

} // namespace

namespace bench {

int runBin(const QString &base, int n)
{
    const QString source = QStringLiteral("%1/bin-%2").arg(base).arg(n);
    if (!QFile::exists(source + "/qel_jz_m.dll")) {
        QDir().mkpath(source);
        fillBin(source, n);
    }
    const QString work = source + "-work";
    double plain = 1e18, kept = 1e18;
    const int rounds = n >= 1000000 ? 1 : 2;
    for (int i = 0; i < rounds; ++i) {
        copyFiles(source, work);
        plain = qMin(plain, deleteBook(work, false));
        copyFiles(source, work);
        kept = qMin(kept, deleteBook(work, true));
    }
    // The bin's item back in the book list, then deleted again and removed for good.
    TDataModule2 dm(work);
    BookRefresh::full(dm);
    const RecycleBin::Item item = RecycleBin::items(dm).value(0);
    QElapsedTimer t;
    t.start();
    RecycleBin::restore(dm, item);
    const double restored = ms(t);
    dm.Query_jz_aa->reopen();
    dm.Query_jz_aa->setCurrentRow(0);
    {
        Connection::Transaction tr(dm.conn_jz_m);
        RecycleBin::keepBook(dm, "2");
        dm.conn_jz_m.exec("delete from jz_ab where b14 = :a", {{":a", "2"}});
        dm.Query_jz_aa->deleteCurrentRow();
        tr.commit();
    }
    t.restart();
    RecycleBin::purge(dm, RecycleBin::items(dm).value(0));
    const double purged = ms(t);
    std::printf("book of %d entries: delete %.0f ms, delete with its copy in the bin %.0f ms (%.2fx), "
                "restore %.0f ms, purge %.0f ms\n",
                n, plain, kept, kept / plain, restored, purged);
    std::fflush(stdout);
    QDir(work).removeRecursively();
    return 0;
}

} // namespace bench
