#include "printing/csv_export.h"

#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include "printing/output_file.h"

namespace report {
namespace {

bool looksLikeFormula(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first != QLatin1Char('=') && first != QLatin1Char('+') && first != QLatin1Char('-')
        && first != QLatin1Char('@') && first != QLatin1Char('\t') && first != QLatin1Char('\r'))
        return false;
    // "-35.50" and "+1" are numbers, not formulas.
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    return !number.match(text).hasMatch();
}

} // namespace

QString csvField(const QString &text)
{
    QString out = looksLikeFormula(text) ? QLatin1Char('\'') + text : text;
    if (out.contains(QLatin1Char(',')) || out.contains(QLatin1Char('"')) || out.contains(QLatin1Char('\n'))
        || out.contains(QLatin1Char('\r'))) {
        out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        out = QLatin1Char('"') + out + QLatin1Char('"');
    }
    return out;
}

ExportResult writeCsvTo(const QString &path, const ExportTable &table, const std::function<bool(int)> &progress,
                        QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = OutputFile::reason(errno);
        return ExportResult::Failed;
    }
    struct Closer {
        int fd;
        ~Closer()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{fd};

    QByteArray chunk("\xEF\xBB\xBF");
    auto line = [&chunk](const QStringList &fields) {
        QString text;
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(',');
            text += csvField(fields[i]);
        }
        chunk += text.toUtf8();
        chunk += "\r\n";
    };
    auto flush = [&]() {
        const char *at = chunk.constData();
        qsizetype left = chunk.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, at, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                *why = OutputFile::reason(n < 0 ? errno : ENOSPC);
                return false;
            }
            at += n;
            left -= n;
        }
        chunk.clear();
        return true;
    };

    const int columns = table.columnCount();
    QStringList fields;
    for (int c = 0; c < columns; ++c)
        fields << table.column(c).title;
    line(fields);
    for (int row = 0; row < table.rowCount(); ++row) {
        if (row % kExportProgressRows == 0) {
            if (!flush())
                return ExportResult::Failed;
            if (progress && !progress(row))
                return ExportResult::Cancelled;
        }
        fields.clear();
        for (int c = 0; c < columns; ++c)
            fields << table.cell(row, c);
        line(fields);
    }
    if (!table.totalsRow().isEmpty())
        line(table.totalsRow());
    for (const auto &loose : table.looseTotals())
        line({loose.first, loose.second});
    if (!flush())
        return ExportResult::Failed;
    if (progress && !progress(table.rowCount()))
        return ExportResult::Cancelled;
    closer.fd = -1;
    if (::close(fd) != 0) {
        *why = OutputFile::reason(errno);
        return ExportResult::Failed;
    }
    return ExportResult::Done;
}

bool writeCsv(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
              const Query *rows, QWidget *parent)
{
    const ExportTable table(project, params, rows);
    return runExport(file, QStringLiteral("导出CSV"), table, parent,
                     [&](const QString &path, const std::function<bool(int)> &progress, QString *why) {
                         return writeCsvTo(path, table, progress, why);
                     });
}

} // namespace report
