#pragma once
// What a spreadsheet export writes: exactly the report's columns and rows, in the report's
// order, followed by its totals. Shared by the Excel and the CSV export.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include "printing/report_project.h"

class Query;
class QWidget;

namespace report {

// The value of a plain decimal text ("-35.50", "100", "0.1"): an optional minus, digits and
// an optional fraction, nothing else, and no more than 15 significant digits, so that a
// spreadsheet holds and shows exactly the number written. Anything else is no number.
std::optional<double> exactNumber(const QString &text);

class ExportTable
{
public:
    ExportTable(const ReportProject &project, const QList<QPair<QString, QString>> &params, const Query *rows);

    QString title() const { return m_title; }
    bool landscape() const { return m_landscape; }
    int columnCount() const { return int(m_columns.size()); }
    const ReportColumn &column(int c) const { return m_columns[c]; }

    int rowCount() const { return m_rows; }
    QString cell(int row, int c) const;

    // The totals row: "总计" in the first column that carries no total, each total under its
    // column (null where a column has none). Empty when the report has no totals that
    // belong under one of its columns.
    QStringList totalsRow() const { return m_totalsRow; }
    int totalsLabelColumn() const { return m_labelColumn; }   // -1 when every column has a total
    // Totals that belong under no column of the report: caption and value.
    QList<QPair<QString, QString>> looseTotals() const { return m_looseTotals; }

    static QString totalsLabel() { return QStringLiteral("总计"); }

private:
    QString m_title;
    bool m_landscape = false;
    int m_labelColumn = -1;
    QList<ReportColumn> m_columns;
    QList<int> m_fieldIndex;
    const Query *m_query;
    int m_rows = 0;
    QStringList m_totalsRow;
    QList<QPair<QString, QString>> m_looseTotals;
};

enum class ExportResult { Done, Cancelled, Failed };

// Writes the table to the file at the path it is given; asks progress(rowsDone) now and
// then and stops when it answers false; on failure says why in *why.
using ExportWriter = std::function<ExportResult(const QString &path, const std::function<bool(int)> &progress,
                                                QString *why)>;

// Runs a writer for the file the user chose: into a temporary file beside it, moved over it
// once complete, with a progress dialog captioned caption over long tables and a message
// naming the file when it cannot be written. A failing read of the rows ends the export
// with the engine's text. False when cancelled or failed.
bool runExport(const QString &file, const QString &caption, const ExportTable &table, QWidget *parent,
               const ExportWriter &writer);

// How often a writer asks its progress.
constexpr int kExportProgressRows = 1000;

} // namespace report
