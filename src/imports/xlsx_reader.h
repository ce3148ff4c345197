#pragma once
// The first worksheet of an .xlsx workbook as rows of cell texts, read with libzip and
// Qt's XML reader. Cell types are read, not display texts: a shared or inline string is
// its text, a number its shortest exact decimal ("28.16", "1234.5"), a number whose
// format is a date or time the date-time "yyyy-MM-dd HH:mm:ss". Missing cells and rows
// are empty, so row n of the sheet is rows[n - 1].
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>

namespace imports {

class ZipFile;

// Throws ImportError when the workbook is damaged or has no sheet. progress(rows) is
// asked now and then; false stops the read (the rows so far are returned).
QList<QStringList> readXlsx(const ZipFile &book, const std::function<bool(int)> &progress = {});

// Whether a number format (built-in id, custom code) shows a date or time.
bool isDateFormat(int id, const QString &code);

} // namespace imports
