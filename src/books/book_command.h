#pragma once
// The book dialogs change jz_aa and jz_ab through command queries of their own.
#include <QString>
#include <QStringList>

class Query;

namespace books {

// One statement on a command query: close, clear, add the statement, bind :a, :b, ...
// in order (as text), execute. Returns the number of rows the statement changed.
int runCommand(Query *q, const QString &sql, const QStringList &values);

// A field's text as stored: an empty field is the empty text, never NULL.
QString storedText(const QString &text);

} // namespace books
