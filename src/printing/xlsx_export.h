#pragma once
// A report as an Excel workbook (.xlsx): one sheet named after the book, the title in the
// first row, the column titles in bold below it and frozen with it, the report's rows with
// numbers and amounts as numeric cells, and the report's totals at the end. Written in
// libxlsxwriter's constant-memory mode: rows go to the file as they are read.
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include "printing/export_table.h"

class QWidget;

namespace report {

// The book's name made a valid sheet name: at most 31 characters, none of []:*?/\ (each
// becomes "_"), no control characters, no apostrophe or blank at either end, not Excel's
// reserved "History", and never empty.
QString sheetName(const QString &book);

// Writes the workbook to path as it stands (no temporary file, no messages). progress is
// asked now and then with the rows written; false stops the export.
ExportResult writeXlsxTo(const QString &path, const ExportTable &table, const QString &sheet,
                         const std::function<bool(int)> &progress, QString *why);

// The export the output choice runs: a progress dialog over long reports, the file written
// under a temporary name and moved over the target when complete, and a message naming the
// file when it cannot be written. False when cancelled or failed.
bool writeXlsx(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
               const Query *rows, const QString &book, QWidget *parent);

} // namespace report
