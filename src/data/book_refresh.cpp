#include "data/book_refresh.h"

#include <algorithm>

#include "data/book_cache.h"
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

QString entriesSql() { return QStringLiteral("select * from jz_ab where b14 = :key order by bid desc"); }

QString searchSql()
{
    return QStringLiteral("select * from jz_ab where b1 like :kind escape '\\' "
                          "and b3 like :summary escape '\\' and b4 like :party escape '\\' "
                          "and b14 = :key order by bid desc");
}

namespace {

// The bound values by name, when the statement binds exactly those names.
bool boundAs(const Params &params, const QStringList &names, QStringList &values)
{
    if (params.size() != names.size())
        return false;
    values.clear();
    for (const QString &name : names) {
        const auto it = std::find_if(params.begin(), params.end(), [&](const auto &p) { return p.first == name; });
        if (it == params.end() || it->second.isNull())
            return false;
        values << it->second;
    }
    return true;
}

} // namespace

QString kindSql()
{
    return QStringLiteral("select * from jz_ab where b1 like :kind escape '\\' and b14 = :key "
                          "order by bid desc");
}

void openBookQuery(TDataModule2 &dm, Query *q)
{
    q->close();
    BookCache &cache = BookCache::of(dm);
    QStringList v;
    if (q->connection() == &dm.conn_jz_m) {
        QString key;
        QList<BookCache::Like> likes;
        bool known = true;
        if (q->sql() == entriesSql() && boundAs(q->params(), {QStringLiteral(":key")}, v)) {
            key = v[0];
        } else if (q->sql() == searchSql()
                   && boundAs(q->params(), {QStringLiteral(":kind"), QStringLiteral(":summary"),
                                            QStringLiteral(":party"), QStringLiteral(":key")}, v)) {
            likes = {{QStringLiteral("b1"), v[0]}, {QStringLiteral("b3"), v[1]}, {QStringLiteral("b4"), v[2]}};
            key = v[3];
        } else if (q->sql() == kindSql()
                   && boundAs(q->params(), {QStringLiteral(":kind"), QStringLiteral(":key")}, v)) {
            likes = {{QStringLiteral("b1"), v[0]}};
            key = v[1];
        } else {
            known = false;
        }
        std::vector<int> rows;
        if (known && cache.load(key)) {
            if (likes.isEmpty()) {
                q->openFrom(cache.rows(), cache.fields(), cache.bookOrder());
                return;
            }
            if (cache.search(likes, rows)) {
                q->openFrom(cache.rows(), cache.fields(), std::move(rows));
                return;
            }
        }
    }
    q->open();
}

void openEntries(TDataModule2 &dm) { openBookQuery(dm, dm.Query_jz_ab); }

void loadEntries(TDataModule2 &dm)
{
    Query *q = dm.Query_jz_ab;
    q->close();
    q->setSql(entriesSql());
    q->bind(QStringLiteral(":key"), bookKey(dm));
    openEntries(dm);
}

void rerunEntries(TDataModule2 &dm) { openEntries(dm); }

void loadTotals(TDataModule2 &dm)
{
    static const char *const columns[] = {"b5", "b6", "b7", "b8", "b9", "b10"};
    const QString key = bookKey(dm);
    auto statement = [](int i) {
        return QStringLiteral("select sum(%1) as tt1 from jz_ab where b14 = :key").arg(QLatin1String(columns[i]));
    };
    BookCache &cache = BookCache::of(dm);
    if (cache.isCurrent(key)) {
        QString sums[6];
        bool all = true;
        for (int i = 0; i < 6 && all; ++i)
            all = cache.total(i, sums[i]);
        if (all) {
            for (int i = 0; i < 6; ++i) {
                Query *q = dm.totalQuery(i);
                q->close();
                q->setSql(statement(i));
                q->bind(QStringLiteral(":key"), key);
                q->openWithRow({QStringLiteral("tt1")}, {sums[i]});
            }
            return;
        }
    }
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
        q->setSql(statement(i));
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
