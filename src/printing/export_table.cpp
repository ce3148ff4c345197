#include "printing/export_table.h"

#include <QHash>
#include <exception>
#include "data/db_error.h"
#include "data/query.h"
#include "printing/output_file.h"
#include "printing/report_progress.h"
#include "ui/message_box.h"

namespace report {

std::optional<double> exactNumber(const QString &text)
{
    const int n = int(text.size());
    int i = 0;
    if (i < n && text[i] == QLatin1Char('-'))
        ++i;
    const int intStart = i;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))
        ++i;
    const int intEnd = i;
    int fracStart = i, fracEnd = i;
    if (i < n && text[i] == QLatin1Char('.')) {
        fracStart = ++i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))
            ++i;
        fracEnd = i;
        if (fracEnd == fracStart)
            return std::nullopt;   // "1."
    }
    if (i != n || intEnd == intStart)
        return std::nullopt;       // other characters, or no integer part (".5", "-")
    // Significant digits: from the first non-zero digit to the last one that matters.
    int first = intStart;
    while (first < intEnd && text[first] == QLatin1Char('0'))
        ++first;
    int last = fracEnd;
    while (last > fracStart && text[last - 1] == QLatin1Char('0'))
        --last;
    int digits = 0;
    if (first < intEnd)
        digits = (intEnd - first) + (last - fracStart);
    else {
        int f = fracStart;
        while (f < last && text[f] == QLatin1Char('0'))
            ++f;
        digits = last - f;
    }
    if (digits > 15)
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return v == 0 ? 0.0 : v;   // no "-0"
}

ExportTable::ExportTable(const ReportProject &project, const QList<QPair<QString, QString>> &params,
                         const Query *rows)
    : m_columns(project.columns), m_query(rows)
{
    QHash<QString, QString> values;
    for (const auto &p : params)
        values.insert(p.first, p.second);
    m_title = values.value(project.titleParam);
    m_landscape = project.orientation == QPageLayout::Landscape;
    m_rows = rows ? rows->rowCount() : 0;
    for (const ReportColumn &c : m_columns)
        m_fieldIndex << (rows ? rows->fieldIndex(c.field) : -1);

    QStringList row(m_columns.size(), QString());
    bool any = false;
    for (const ReportTotal &t : project.totals) {
        int at = -1;
        for (int c = 0; c < m_columns.size() && !t.field.isEmpty(); ++c)
            if (m_columns[c].field == t.field && row[c].isNull())
                at = c;
        if (at < 0) {
            m_looseTotals.append({t.caption, values.value(t.param)});
            continue;
        }
        // A total shown as empty text (a sum over nothing) still marks its cell as taken.
        row[at] = values.value(t.param, QString()).isNull() ? QStringLiteral("") : values.value(t.param);
        any = true;
    }
    if (any) {
        for (int c = 0; c < row.size(); ++c) {
            if (row[c].isNull()) {
                row[c] = totalsLabel();
                m_labelColumn = c;
                break;
            }
        }
        m_totalsRow = row;
    }
}

QString ExportTable::cell(int row, int c) const
{
    const int field = m_fieldIndex[c];
    return field < 0 ? QString() : m_query->value(row, field);
}

bool runExport(const QString &file, const QString &caption, const ExportTable &table, QWidget *parent,
               const ExportWriter &writer)
{
    OutputFile out(file);
    QString message;
    if (!out.create(&message)) {
        msg::error(parent, message);
        return false;
    }
    ExportResult result = ExportResult::Failed;
    QString why;
    try {
        // Gone before any message shows.
        Progress progress(parent, table.rowCount(), caption, QStringLiteral("正在导出 \"%1\"…").arg(table.title()));
        result = writer(out.partPath(), [&progress](int done) { return progress.step(done); }, &why);
    } catch (const DbError &e) {
        msg::error(parent, e.text());
        return false;
    } catch (const std::exception &e) {
        msg::error(parent, QString::fromUtf8(e.what()));
        return false;
    }
    if (result == ExportResult::Cancelled)
        return false;
    if (result == ExportResult::Failed) {
        msg::error(parent, OutputFile::failure(file, why));
        return false;
    }
    if (!out.commit(&message)) {
        msg::error(parent, message);
        return false;
    }
    return true;
}

} // namespace report
