#include "books/book_command.h"

#include "data/query.h"

namespace books {

int runCommand(Query *q, const QString &sql, const QStringList &values)
{
    q->close();
    q->clearSql();
    q->setSql(sql);
    for (int i = 0; i < values.size(); ++i)
        q->bind(QStringLiteral(":") + QChar(u'a' + i), storedText(values[i]));
    q->execSql();
    return q->connection()->changes();
}

QString storedText(const QString &text)
{
    // A null QString binds as SQL NULL.
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace books
