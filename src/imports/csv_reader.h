#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace imports {

// The records of a CSV text: fields split by commas, a field in double quotes may hold
// commas, doubled quotes and line breaks. Text after a closing quote (bills put a tab
// there) is kept with the field. Line ends CRLF, LF or CR.
QList<QStringList> parseCsv(const QString &text);

} // namespace imports
