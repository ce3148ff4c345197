#include "data/book_refresh.h"

#include "data/data_module.h"

namespace BookRefresh {

void loadCurrentBook(TDataModule2 &dm, const QString &flag)
{
    Query *q = dm.Query_zhangben;
    q->close();
    q->setSql(QStringLiteral("select * from jz_aa where a6 = :flag"));
    q->bind(QStringLiteral(":flag"), flag);
    q->open();
}

QString bookKey(const TDataModule2 &dm)
{
    const Query *q = dm.Query_zhangben;
    if (!q->isOpen() || q->isEmpty())
        return QString();
    return q->value(0, QStringLiteral("aid"));
}

void loadEntries(TDataModule2 &dm)
{
    Query *q = dm.Query_jz_ab;
    q->close();
    q->setSql(QStringLiteral("select * from jz_ab where b14 = :key order by bid desc"));
    q->bind(QStringLiteral(":key"), bookKey(dm));
    q->open();
}

void rerunEntries(TDataModule2 &dm) { dm.Query_jz_ab->reopen(); }

void loadTotals(TDataModule2 &dm)
{
    static const char *const columns[] = {"b5", "b6", "b7", "b8", "b9", "b10"};
    const QString key = bookKey(dm);
    // Each total query keeps its own statement, but the six sums come from one pass
    // over the book: six passes cost six times as much on a large ledger.
    Query all(&dm.conn_jz_m, QStringLiteral("totals"));
    all.setSql(QStringLiteral("select sum(b5), sum(b6), sum(b7), sum(b8), sum(b9), sum(b10) "
                              "from jz_ab where b14 = :key"));
    all.bind(QStringLiteral(":key"), key);
    all.open();
    for (int i = 0; i < 6; ++i) {
        Query *q = dm.totalQuery(i);
        q->close();
        q->setSql(QStringLiteral("select sum(%1) as tt1 from jz_ab where b14 = :key")
                      .arg(QLatin1String(columns[i])));
        q->bind(QStringLiteral(":key"), key);
        q->openWithRow({QStringLiteral("tt1")},
                       {all.isNull(0, i) ? QString() : all.value(0, i)});
    }
}

void full(TDataModule2 &dm, const QString &flag)
{
    loadCurrentBook(dm, flag);
    loadEntries(dm);
    loadTotals(dm);
}

} // namespace BookRefresh
