#include "imports/csv_reader.h"

namespace imports {

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    const QChar *p = text.constData();
    const QChar *end = p + text.size();
    bool quoted = false;      // inside quotes
    bool any = false;         // the record has begun
    auto endField = [&] {
        row << field;
        field.clear();
    };
    auto endRow = [&] {
        endField();
        rows << row;
        row.clear();
        any = false;
    };
    while (p < end) {
        const QChar c = *p++;
        if (quoted) {
            if (c == u'"') {
                if (p < end && *p == u'"') {
                    field += u'"';
                    ++p;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.trimmed().isEmpty()) {
            field.clear();   // blanks before an opening quote are padding
            quoted = true;
            any = true;
        } else if (c == u',') {
            endField();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && p < end && *p == u'\n')
                ++p;
            if (any || !field.isEmpty())
                endRow();
            else
                rows << QStringList();   // an empty line still counts as a line
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty() || quoted)
        endRow();
    return rows;
}

} // namespace imports
