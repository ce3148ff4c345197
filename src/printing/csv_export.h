#pragma once
// A report as a CSV file: UTF-8 with a byte-order mark (so spreadsheets read the Chinese
// text right), CRLF line ends, RFC 4180 quoting. The column titles, the report's rows with
// every text exactly as stored, then the report's totals.
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include "printing/export_table.h"

class QWidget;

namespace report {

// One field as written. A text that a spreadsheet would take for a formula (it begins
// with "=", "+", "-", "@", a tab or a carriage return and is no plain number) gets a
// leading "'"; a field holding a comma, a quote or a line break is quoted, its quotes
// doubled.
QString csvField(const QString &text);

// Writes the file at path as it stands (no temporary file, no messages).
ExportResult writeCsvTo(const QString &path, const ExportTable &table, const std::function<bool(int)> &progress,
                        QString *why);

// The export the output choice runs; see writeXlsx.
bool writeCsv(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
              const Query *rows, QWidget *parent);

} // namespace report
