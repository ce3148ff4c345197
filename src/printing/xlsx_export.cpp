#include "printing/xlsx_export.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <xlsxwriter.h>
#include "printing/output_file.h"
#include "printing/report_project.h"

namespace report {
namespace {

bool isWide(char16_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6);
}

// Width of a text in Excel's column units: a Chinese character takes two, the widest line
// counts.
int textWidth(const QString &text)
{
    int widest = 0, line = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            widest = std::max(widest, line);
            line = 0;
        } else if (c.isHighSurrogate()) {
            line += 2;   // the characters beyond the basic plane are ideographs or emoji
        } else if (!c.isLowSurrogate() && c != QLatin1Char('\r')) {
            line += isWide(c.unicode()) ? 2 : 1;
        }
    }
    return std::max(widest, line);
}

// A workbook's texts read "_xHHHH_" as the character HHHH (the library writes control
// characters so); a text that holds such a sequence itself keeps it by escaping its "_".
QString keepEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x"), Qt::CaseInsensitive))
        return text;
    static const QRegularExpression escape(QStringLiteral("_(?=[xX][0-9A-Fa-f]{4}_)"));
    QString out = text;
    out.replace(escape, QStringLiteral("_x005F_"));
    return out;
}

// Width of a plain decimal text as its cell shows it: an amount with two decimals.
int numberWidth(const QString &text, bool amount)
{
    if (!amount)
        return int(text.size());
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return int(point < 0 ? text.size() : point) + 3;
}

// The library keeps its temporary files (deleted while open) in a folder of the export's
// own. After a close that failed part-way (a full disk) it leaves some of them open, and
// their space stays taken until the program ends; the descriptors that still point into
// the folder are closed then. The library never touches those files again.
void closeLeftovers(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString prefix = folder + QLatin1Char('/');
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &fd : fds) {
        const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd);
        if (target.startsWith(prefix))
            ::close(fd.toInt());
    }
}

struct Writer {
    QTemporaryDir scratch{QDir::tempPath() + QStringLiteral("/tallyrue-xlsx-XXXXXX")};
    lxw_workbook *book = nullptr;
    lxw_worksheet *sheet = nullptr;
    lxw_error error = LXW_NO_ERROR;
    QString why;

    QString scratchPath() const { return scratch.isValid() ? scratch.path() : QString(); }
    ~Writer()
    {
        if (book) {
            // Cancelled or failed: nothing more is written. Freeing leaves the sheet's
            // temporary file open, so it is closed here.
            if (sheet && sheet->optimize_tmpfile) {
                std::fclose(sheet->optimize_tmpfile);
                sheet->optimize_tmpfile = nullptr;
            }
            lxw_workbook_free(book);
        }
        closeLeftovers(scratchPath());
    }
    bool check(lxw_error e, const QString &where = QString())
    {
        if (e == LXW_NO_ERROR)
            return true;
        if (error == LXW_NO_ERROR) {
            error = e;
            why = e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED
                ? QStringLiteral("文字超过 Excel 单元格 32767 个字符的上限, 请改用导出CSV")
                : QString::fromUtf8(lxw_strerror(e));
            if (!where.isEmpty())
                why = where + QStringLiteral(": ") + why;
        }
        return false;
    }
};

lxw_format_alignments horizontal(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter)
        return LXW_ALIGN_CENTER;
    if (a & Qt::AlignRight)
        return LXW_ALIGN_RIGHT;
    return LXW_ALIGN_LEFT;
}

} // namespace

QString sheetName(const QString &book)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    QString name;
    for (const QChar c : book) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            continue;
        name += forbidden.contains(c) ? QLatin1Char('_') : c;
    }
    auto trimEnds = [](QString s) {
        while (!s.isEmpty() && (s.front() == QLatin1Char('\'') || s.front().isSpace()))
            s.remove(0, 1);
        while (!s.isEmpty() && (s.back() == QLatin1Char('\'') || s.back().isSpace()))
            s.chop(1);
        return s;
    };
    name = trimEnds(name);
    if (name.size() > 31)
        name = trimEnds(name.left(name.at(30).isHighSurrogate() ? 30 : 31));
    if (name.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0)
        name += QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("账本") : name;
}

ExportResult writeXlsxTo(const QString &path, const ExportTable &table, const QString &sheet,
                         const std::function<bool(int)> &progress, QString *why)
{
    const int columns = table.columnCount();
    const bool totals = !table.totalsRow().isEmpty();
    const qint64 rowsNeeded = 2 + qint64(table.rowCount()) + (totals ? 1 : 0) + table.looseTotals().size();
    if (rowsNeeded > LXW_ROW_MAX) {
        *why = QStringLiteral("报表有 %1 行, 超过 Excel 工作表的 %2 行上限").arg(table.rowCount()).arg(LXW_ROW_MAX);
        return ExportResult::Failed;
    }

    Writer w;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    QByteArray tmpdir = QFile::encodeName(w.scratchPath());
    if (!tmpdir.isEmpty())
        options.tmpdir = tmpdir.data();
    const QByteArray file = QFile::encodeName(path);
    w.book = workbook_new_opt(file.constData(), &options);
    if (!w.book) {
        *why = OutputFile::reason(errno);
        return ExportResult::Failed;
    }
    const QByteArray sheetUtf8 = sheetName(sheet).toUtf8();
    errno = 0;
    w.sheet = workbook_add_worksheet(w.book, sheetUtf8.constData());
    if (!w.sheet) {
        // In constant-memory mode the sheet needs a temporary file.
        *why = QStringLiteral("无法建立工作表 \"%1\"").arg(QString::fromUtf8(sheetUtf8));
        if (errno != 0)
            *why += QStringLiteral(": ") + OutputFile::reason(errno);
        return ExportResult::Failed;
    }
    const QByteArray titleUtf8 = keepEscapes(table.title()).toUtf8();
    const QByteArray docTitle = table.title().toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char *>(docTitle.constData());
    properties.comments = const_cast<char *>("Tallyrue");
    workbook_set_properties(w.book, &properties);

    lxw_format *titleFormat = workbook_add_format(w.book);
    format_set_bold(titleFormat);
    format_set_font_size(titleFormat, 14);
    lxw_format *headFormat = workbook_add_format(w.book);
    format_set_bold(headFormat);
    format_set_align(headFormat, LXW_ALIGN_CENTER);
    format_set_align(headFormat, LXW_ALIGN_VERTICAL_CENTER);
    format_set_bg_color(headFormat, 0xDDEBF7);
    format_set_bottom(headFormat, LXW_BORDER_THIN);
    lxw_format *amountFormat = workbook_add_format(w.book);
    format_set_num_format(amountFormat, "0.00");
    lxw_format *totalLabel = workbook_add_format(w.book);
    format_set_bold(totalLabel);
    format_set_top(totalLabel, LXW_BORDER_THIN);
    lxw_format *totalAmount = workbook_add_format(w.book);
    format_set_bold(totalAmount);
    format_set_num_format(totalAmount, "0.00");
    format_set_top(totalAmount, LXW_BORDER_THIN);
    lxw_format *totalText = workbook_add_format(w.book);
    format_set_bold(totalText);
    format_set_align(totalText, LXW_ALIGN_RIGHT);
    format_set_top(totalText, LXW_BORDER_THIN);
    // Texts keep the report's alignment (类别 and 日期 centred); a text in a number column
    // that is no number stays text, at the right like the numbers around it.
    QList<lxw_format *> textFormat;
    for (int c = 0; c < columns; ++c) {
        lxw_format *f = nullptr;
        const Qt::Alignment align = table.column(c).kind == ReportColumn::Kind::Text ? table.column(c).align
                                                                                      : Qt::AlignRight;
        if (horizontal(align) != LXW_ALIGN_LEFT) {
            f = workbook_add_format(w.book);
            format_set_align(f, horizontal(align));
        }
        textFormat << f;
    }

    QList<int> widths;
    for (int c = 0; c < columns; ++c)
        widths << textWidth(table.column(c).title) + 2;   // bold titles run wider

    auto put = [&](lxw_row_t r, int c, const QString &text, ReportColumn::Kind kind, lxw_format *number,
                   lxw_format *plain, lxw_format *blank = nullptr) {
        if (text.isEmpty())   // blank; in the totals row it still carries the row's border
            return blank ? w.check(worksheet_write_blank(w.sheet, r, lxw_col_t(c), blank)) : true;
        if (kind != ReportColumn::Kind::Text) {
            if (const auto v = exactNumber(text)) {
                widths[c] = std::max(widths[c], numberWidth(text, kind == ReportColumn::Kind::Amount));
                return w.check(worksheet_write_number(w.sheet, r, lxw_col_t(c), *v,
                                                      kind == ReportColumn::Kind::Amount ? number : nullptr));
            }
        }
        widths[c] = std::max(widths[c], textWidth(text));
        const QByteArray utf8 = keepEscapes(text).toUtf8();
        const lxw_error e = worksheet_write_string(w.sheet, r, lxw_col_t(c), utf8.constData(), plain);
        if (e == LXW_NO_ERROR)
            return true;
        // Named so the user finds the entry in the list: its place and its first column.
        const int row = int(r) - 2;
        const QString where = row >= 0 && row < table.rowCount()
            ? QStringLiteral("第 %1 条 (%2 %3) 的 \"%4\"").arg(row + 1).arg(table.column(0).title, table.cell(row, 0),
                                                                        table.column(c).title)
            : QStringLiteral("第 %1 行的 \"%2\"").arg(r + 1).arg(table.column(c).title);
        return w.check(e, where);
    };

    // What covers rows is set before the rows are written: the constant-memory mode
    // refuses ranges that reach back above the row it is at.
    worksheet_freeze_panes(w.sheet, 2, 0);
    if (table.rowCount() > 0 && columns > 0)
        w.check(worksheet_autofilter(w.sheet, 1, 0, lxw_row_t(table.rowCount() + 1), lxw_col_t(columns - 1)));
    // Printed from the spreadsheet: A4 across the page's width, titles on every page.
    worksheet_set_paper(w.sheet, 9);
    if (table.landscape())
        worksheet_set_landscape(w.sheet);
    worksheet_fit_to_pages(w.sheet, 1, 0);
    w.check(worksheet_repeat_rows(w.sheet, 0, 1));

    // Rows are written in order; a row's height is set before its cells.
    w.check(worksheet_set_row(w.sheet, 0, 22, nullptr));
    if (!w.check(worksheet_write_string(w.sheet, 0, 0, titleUtf8.constData(), titleFormat))) {
        *why = w.why;
        return ExportResult::Failed;
    }
    w.check(worksheet_set_row(w.sheet, 1, 18, nullptr));
    for (int c = 0; c < columns; ++c) {
        const QByteArray t = keepEscapes(table.column(c).title).toUtf8();
        w.check(worksheet_write_string(w.sheet, 1, lxw_col_t(c), t.constData(), headFormat));
    }
    for (int row = 0; row < table.rowCount() && w.error == LXW_NO_ERROR; ++row) {
        if (row % kExportProgressRows == 0 && progress && !progress(row))
            return ExportResult::Cancelled;
        const lxw_row_t r = lxw_row_t(row + 2);
        for (int c = 0; c < columns; ++c)
            if (!put(r, c, table.cell(row, c), table.column(c).kind, amountFormat, textFormat[c]))
                break;
    }
    lxw_row_t next = lxw_row_t(table.rowCount() + 2);
    if (totals && w.error == LXW_NO_ERROR) {
        const QStringList cells = table.totalsRow();
        for (int c = 0; c < columns; ++c) {
            const bool label = c == table.totalsLabelColumn();
            put(next, c, cells[c], label ? ReportColumn::Kind::Text : table.column(c).kind, totalAmount,
                label ? totalLabel : totalText, totalText);
        }
        ++next;
    }
    for (const auto &loose : table.looseTotals()) {
        if (w.error != LXW_NO_ERROR)
            break;
        put(next, 0, loose.first, ReportColumn::Kind::Text, nullptr, totalLabel);
        if (columns > 1)
            put(next, 1, loose.second, ReportColumn::Kind::Amount, totalAmount, totalText);
        ++next;
    }
    if (w.error != LXW_NO_ERROR) {
        *why = w.why;
        return ExportResult::Failed;
    }
    if (progress && !progress(table.rowCount()))
        return ExportResult::Cancelled;

    for (int c = 0; c < columns; ++c)
        w.check(worksheet_set_column(w.sheet, lxw_col_t(c), lxw_col_t(c), std::clamp(widths[c] + 2, 6, 60), nullptr));

    errno = 0;
    lxw_workbook *book = w.book;
    w.book = nullptr;
    const lxw_error closed = workbook_close(book);
    if (!w.check(closed)) {
        // The system's reason when a write failed (disk full), else the library's.
        *why = errno != 0 ? OutputFile::reason(errno) : w.why;
        return ExportResult::Failed;
    }
    if (w.error != LXW_NO_ERROR) {
        *why = w.why;
        return ExportResult::Failed;
    }
    return ExportResult::Done;
}

bool writeXlsx(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
               const Query *rows, const QString &book, QWidget *parent)
{
    const ExportTable table(project, params, rows);
    return runExport(file, QStringLiteral("导出Excel"), table, parent,
                     [&](const QString &path, const std::function<bool(int)> &progress, QString *why) {
                         return writeXlsxTo(path, table, book, progress, why);
                     });
}

} // namespace report
