#pragma once
// Lays a report out on a paged device (a printer, a PDF file or the preview) and paints it
// one page at a time, so a long report never exists as one document: rows are read from
// the query while pages are measured and read again while each page is painted. Every
// page carries the title, the date printed, the column titles, its rows and
// "第 n 页 / 共 m 页"; the totals block follows the last row.
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>
#include "printing/report_project.h"

class QPainter;
class QPaintDevice;
class Query;

class ReportLayout
{
public:
    using Params = QHash<QString, QString>;

    // page: the printable area in device pixels (the painter's origin is its top left).
    ReportLayout(const ReportProject &project, const Params &params, const Query *rows, const QSizeF &page,
                 double dpi, QPaintDevice *device);

    // Measures every row and breaks the rows into pages. progress(rowsDone) is called now
    // and then; when it returns false the layout stops and this returns false.
    bool paginate(const std::function<bool(int)> &progress = {});

    int pageCount() const { return int(m_pages.size()); }
    int rowCount() const { return m_rows; }
    void paintPage(QPainter &painter, int page) const;

    QString title() const;

private:
    class GlyphSink;
    struct Shaped {
        QList<QGlyphRun> runs;   // positions from the start of the baseline
        double width = 0;
    };
    struct Slice {
        int row;
        int line;
    };

    double mm(double v) const { return v * m_dpi / 25.4; }
    QString cellText(int row, int col) const;
    bool isFastAscii(const QString &text) const;
    const Shaped &shape(const QString &text) const;
    double textWidth(const QString &text) const;
    int measure(const QString &text, double width, bool *wraps) const;
    QStringList wrap(const QString &text, double width, const QFont &font) const;
    bool surelyFits(const QString &text, double width) const;
    double rowHeight(int lines) const { return lines * m_lineH + 2 * m_padV; }
    void drawLine(QPainter &p, const QString &text, double x, double width, double baseline,
                  Qt::Alignment align, const QFontMetricsF &fm) const;
    void drawCellLine(QPainter &p, GlyphSink *sink, const QString &text, double x, double width,
                      double baseline, Qt::Alignment align) const;
    void paintHeader(QPainter &p, int page) const;
    double paintTitles(QPainter &p, GlyphSink *sink) const;
    double paintTotals(QPainter &p, double top) const;

    ReportProject m_project;
    Params m_params;
    const Query *m_query;
    QPaintDevice *m_device;
    int m_rows = 0;
    QList<int> m_fieldIndex;     // report column -> query column (-1: absent)
    QList<double> m_colX, m_colW;

    double m_dpi;
    QSizeF m_page;
    QFont m_font, m_bold, m_titleFont;
    QFontMetricsF m_fm, m_boldFm, m_titleFm;
    double m_lineH = 0, m_ascent = 0, m_padH = 0, m_padV = 0;
    double m_asciiMax = 0, m_wideMax = 0;
    double m_tableTop = 0, m_titleRowH = 0, m_bodyTop = 0, m_bodyH = 0, m_footerTop = 0;
    double m_totalsH = 0;
    QStringList m_title;   // the title's lines
    double m_titleH = 0;
    int m_totalsPerLine = 1;
    QString m_date;

    // Body text without shaping: printable ASCII straight from the Latin font's glyphs,
    // other texts shaped once and kept (summaries and names repeat from row to row).
    QRawFont m_latin;
    quint32 m_asciiGlyph[95] = {};
    double m_asciiAdvance[95] = {};
    mutable QHash<QString, Shaped> m_shaped;
    QList<QStringList> m_titleLines;   // each column's title, wrapped
    QList<QGlyphRun> m_titleRuns;      // the same, laid out once where it stands on every page

    std::vector<int> m_rowLines;      // lines of each row
    std::vector<bool> m_wraps;        // row * columns: the cell wraps
    std::vector<Slice> m_pages;       // where each page starts
    int m_totalsPage = -1;
};
