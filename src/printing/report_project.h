#pragma once
// A report project file (.rav): which parameter is the title, the page format, the columns
// (field, title, width, alignment) and the totals block. A line-based text format:
//
//   # comment
//   title   = zbm                       parameter that holds the report title
//   params  = zbm shouru ...            the parameter slots the report reads
//   data    = RvData_ab                 the report data connection it reads its rows from
//   page    = A4 landscape              paper (A3 A4 A5 B5 Letter Legal) and orientation
//   margins = 12 10 12 10               millimetres: left top right bottom
//   font    = 9                         body text, points
//   titlefont = 15                      title, points
//   column  = b3 | 摘要 | 14 | left       field | title | relative width | left/center/right
//   column  = b5 | 收入总额 | 8 | right | amount   optional kind: text (default), number, amount
//   total   = shouru | 收入总计:          parameter | caption, in the totals block
//   total   = shouru | 收入总计: | b5     optional: the column the total belongs under
//   totalsperline = 3
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

struct ReportColumn {
    // What a spreadsheet export makes of the column's texts: numbers and amounts become
    // numeric cells where the text is a plain decimal, amounts with two decimals.
    enum class Kind { Text, Number, Amount };

    QString field;
    QString title;
    double width = 1;   // share of the table width, relative to the other columns
    Qt::Alignment align = Qt::AlignLeft;
    Kind kind = Kind::Text;
};

struct ReportTotal {
    QString param;
    QString caption;
    QString field;   // the column it totals, empty when none
};

struct ReportProject {
    QString path;
    QString titleParam;
    QStringList params;
    QString data;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{12, 10, 12, 10};
    double fontPt = 9;
    double titleFontPt = 15;
    QList<ReportColumn> columns;
    QList<ReportTotal> totals;
    int totalsPerLine = 3;

    // Parses a project's text; on a mistake returns false with the line and what is wrong.
    static bool parse(const QString &text, ReportProject *out, QString *error);
    // Reads and parses a file; the error names the file.
    static bool load(const QString &path, ReportProject *out, QString *error);
};

namespace ReportFiles {

// Where project files are looked for, in order: print/ beside the executable, then
// share/tallyrue/print/ under the install prefix.
QStringList folders();
// Tests point the search elsewhere; an empty list restores the default.
void setFolders(const QStringList &folders);

// The full path of a project file (its name relative to print/, e.g. "ab.rav"), or an
// empty text when no folder holds it.
QString locate(const QString &name);
// Where the file is expected beside the executable (named by the missing-file message).
QString besideExecutable(const QString &name);
// The engine's refusal when no folder holds the file.
QString missingMessage(const QString &name);

} // namespace ReportFiles
