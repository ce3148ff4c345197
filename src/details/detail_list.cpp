#include "details/detail_list.h"

#include "data/data_module.h"
#include "data/query.h"

namespace DetailList {

void load(TDataModule2 &dm, const QString &entryKey)
{
    Query *q = dm.Query_jz_ua;
    q->close();
    // The key is matched whole: entry 1 must never list the lines of entries 10 or 21.
    q->setSql(QStringLiteral("select * from jz_ua where ua6 = :k order by uaid desc"));
    q->bind(QStringLiteral(":k"), entryKey);
    q->open();
}

bool select(TDataModule2 &dm, const QString &uaid)
{
    Query *q = dm.Query_jz_ua;
    if (!q->isOpen() || uaid.isEmpty())
        return false;
    const int column = q->fieldIndex(QStringLiteral("uaid"));
    for (int row = 0; row < q->rowCount(); ++row) {
        if (q->value(row, column) == uaid) {
            q->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

} // namespace DetailList
