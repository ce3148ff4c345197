#include "printing/report_layout.h"

#include <QDate>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include "data/clock.h"
#include "data/query.h"
#include "printing/report_font.h"
#include "ui/date_field.h"

namespace {

// Text as one run for layout: line ends become forced breaks, tabs blanks.
QString forLayout(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

bool isWide(char16_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

} // namespace

// The body text of a page, handed to the PDF writer as glyph runs: a text item per cell
// costs the writer far more than its glyphs, so neighbouring texts in one font go out as one
// run. Runs keep the order of the text, so a reader that searches the content stream (rather
// than the page's geometry) still finds "摘要12" whole.
class ReportLayout::GlyphSink
{
public:
    explicit GlyphSink(QPainter &painter) : m_painter(painter) {}
    ~GlyphSink() { flush(); }

    void add(const QRawFont &font, quint32 glyph, const QPointF &at)
    {
        use(font);
        m_glyphs.append(glyph);
        m_positions.append(at);
    }
    void add(const QGlyphRun &run, const QPointF &origin)
    {
        use(run.rawFont());
        m_glyphs += run.glyphIndexes();
        for (const QPointF &at : run.positions())
            m_positions.append(at + origin);
    }
    void flush()
    {
        if (m_glyphs.isEmpty())
            return;
        QGlyphRun run;
        run.setRawFont(m_font);
        run.setGlyphIndexes(m_glyphs);
        run.setPositions(m_positions);
        m_painter.drawGlyphRun(QPointF(0, 0), run);
        m_glyphs.clear();
        m_positions.clear();
    }

private:
    void use(const QRawFont &font)
    {
        if (font == m_font)
            return;
        flush();
        m_font = font;
    }
    QPainter &m_painter;
    QRawFont m_font;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

ReportLayout::ReportLayout(const ReportProject &project, const Params &params, const Query *rows,
                           const QSizeF &page, double dpi, QPaintDevice *device)
    : m_project(project),
      m_params(params),
      m_query(rows),
      m_device(device),
      m_dpi(dpi),
      m_page(page),
      m_font(ReportFont::font(project.fontPt)),
      m_bold(ReportFont::font(project.fontPt, true)),
      m_titleFont(ReportFont::font(project.titleFontPt, true)),
      m_fm(m_font, device),
      m_boldFm(m_bold, device),
      m_titleFm(m_titleFont, device)
{
    m_rows = rows ? rows->rowCount() : 0;
    for (const ReportColumn &c : m_project.columns)
        m_fieldIndex << (rows ? rows->fieldIndex(c.field) : -1);
    m_date = DateField::format(Clock::today());

    // Lines hold Latin and Chinese glyphs: room for the taller of the two fonts.
    QFont chinese(ReportFont::chineseFamily());
    chinese.setPointSizeF(project.fontPt);
    const QFontMetricsF cfm(chinese, device);
    m_ascent = std::max(m_fm.ascent(), cfm.ascent());
    m_lineH = m_ascent + std::max(m_fm.descent(), cfm.descent()) + std::max(m_fm.leading(), 0.0);
    m_padH = mm(1.0);
    m_padV = mm(0.6);
    for (char16_t c = 0x20; c < 0x7F; ++c)
        m_asciiMax = std::max(m_asciiMax, m_boldFm.horizontalAdvance(QChar(c)));
    for (const char16_t c : {u'国', u'Ｗ', u'Ｍ', u'　', u'，'})
        m_wideMax = std::max(m_wideMax, m_boldFm.horizontalAdvance(QChar(c)));

    // The font Qt itself picks for Latin text, at the device's size.
    QString ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        ascii += QChar(c);
    QTextLayout sample(ascii, m_font, device);
    sample.beginLayout();
    sample.createLine();
    sample.endLayout();
    const QList<QGlyphRun> runs = sample.glyphRuns();
    if (runs.size() == 1 && runs[0].glyphIndexes().size() == ascii.size()) {
        m_latin = runs[0].rawFont();
        const QList<quint32> glyphs = m_latin.glyphIndexesForString(ascii);
        const QList<QPointF> advances = m_latin.advancesForGlyphIndexes(glyphs);
        for (int i = 0; i < 95 && i < glyphs.size(); ++i) {
            m_asciiGlyph[i] = glyphs[i];
            m_asciiAdvance[i] = advances.value(i).x();
        }
    }

    double total = 0;
    for (const ReportColumn &c : m_project.columns)
        total += c.width;
    double x = 0;
    for (const ReportColumn &c : m_project.columns) {
        const double w = m_page.width() * c.width / total;
        m_colX << x;
        m_colW << w;
        x += w;
    }

    // Title, the date line, then the table; the page number at the foot.
    // A title too long for one line wraps rather than running off the page.
    m_title = wrap(title(), m_page.width(), m_titleFont);
    m_titleH = m_titleFm.height() + (m_title.size() - 1) * m_titleFm.lineSpacing();
    m_tableTop = m_titleH + mm(1.5) + m_fm.height() + mm(1.5);
    int titleLines = 1;
    for (int c = 0; c < m_colW.size(); ++c) {
        m_titleLines << wrap(m_project.columns[c].title, m_colW[c] - 2 * m_padH, m_bold);
        titleLines = std::max(titleLines, int(m_titleLines.last().size()));
    }
    m_titleRowH = rowHeight(titleLines);
    for (int c = 0; c < m_colW.size(); ++c) {
        for (int k = 0; k < m_titleLines[c].size(); ++k) {
            QTextLayout layout(m_titleLines[c][k], m_bold, device);
            layout.beginLayout();
            QTextLine line = layout.createLine();
            layout.endLayout();
            const QPointF at(m_colX[c] + (m_colW[c] - line.naturalTextWidth()) / 2 - line.x(),
                             m_tableTop + m_padV + k * m_lineH + m_ascent - line.y() - line.ascent());
            for (QGlyphRun run : line.glyphRuns()) {
                QList<QPointF> positions = run.positions();
                for (QPointF &pos : positions)
                    pos += at;
                run.setPositions(positions);
                m_titleRuns << run;
            }
        }
    }
    m_bodyTop = m_tableTop + m_titleRowH;
    m_footerTop = m_page.height() - m_fm.height();
    m_bodyH = std::max(m_footerTop - mm(2) - m_bodyTop, rowHeight(1));

    if (!m_project.totals.isEmpty()) {
        // As many totals on a line as fit side by side.
        m_totalsPerLine = std::max(1, m_project.totalsPerLine);
        double widest = 0;
        for (const ReportTotal &t : m_project.totals)
            widest = std::max(widest, m_boldFm.horizontalAdvance(t.caption + QLatin1Char(' '))
                                          + m_fm.horizontalAdvance(m_params.value(t.param)) + 2 * m_padH);
        while (m_totalsPerLine > 1 && widest * m_totalsPerLine > m_page.width())
            --m_totalsPerLine;
        const int lines = int((m_project.totals.size() + m_totalsPerLine - 1) / m_totalsPerLine);
        m_totalsH = mm(2) + lines * m_lineH + (lines - 1) * mm(1) + 2 * mm(1.5);
    }
}

QString ReportLayout::title() const { return m_params.value(m_project.titleParam); }

QString ReportLayout::cellText(int row, int col) const
{
    const int field = m_fieldIndex[col];
    return field < 0 ? QString() : m_query->value(row, field);
}

bool ReportLayout::isFastAscii(const QString &text) const
{
    if (!m_latin.isValid())
        return false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c >= 0x7F || !m_asciiGlyph[c - 0x20])
            return false;
    }
    return true;
}

const ReportLayout::Shaped &ReportLayout::shape(const QString &text) const
{
    auto it = m_shaped.constFind(text);
    if (it != m_shaped.constEnd())
        return it.value();
    if (m_shaped.size() > 20000)
        m_shaped.clear();
    QTextLayout layout(text, m_font, m_device);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    Shaped shaped;
    if (line.isValid()) {
        shaped.width = line.naturalTextWidth();
        const double baseline = line.y() + line.ascent();
        for (QGlyphRun run : line.glyphRuns()) {
            QList<QPointF> positions = run.positions();
            for (QPointF &at : positions)
                at.ry() -= baseline;
            run.setPositions(positions);
            shaped.runs << run;
        }
    }
    return m_shaped.insert(text, shaped).value();
}

double ReportLayout::textWidth(const QString &text) const
{
    if (isFastAscii(text)) {
        double w = 0;
        for (const QChar ch : text)
            w += m_asciiAdvance[ch.unicode() - 0x20];
        return w;
    }
    return shape(text).width;
}

// True when the text fits for certain, judged from the widest glyph of its kind, so most
// cells need no shaping while pages are measured.
bool ReportLayout::surelyFits(const QString &text, double width) const
{
    double w = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c < 0x7F)
            w += m_asciiMax;
        else if (isWide(c))
            w += m_wideMax;
        else
            return false;
        if (w > width)
            return false;
    }
    return true;
}

QStringList ReportLayout::wrap(const QString &text, double width, const QFont &font) const
{
    QTextLayout layout(forLayout(text), font, m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    QStringList lines;
    const QString &laid = layout.text();
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1.0));
        QString part = laid.mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && (part.back().isSpace() || part.back() == QChar::LineSeparator))
            part.chop(1);
        lines << part;
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines << QString();
    return lines;
}

int ReportLayout::measure(const QString &text, double width, bool *wraps) const
{
    *wraps = false;
    if (text.isEmpty())
        return 1;
    const bool breaks = text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!breaks && (surelyFits(text, width) || textWidth(text) <= width))
        return 1;
    *wraps = true;
    return int(wrap(text, width, m_font).size());
}

bool ReportLayout::paginate(const std::function<bool(int)> &progress)
{
    const int cols = int(m_colW.size());
    m_rowLines.assign(size_t(m_rows), 1);
    m_wraps.assign(size_t(m_rows) * size_t(cols), false);
    m_pages.assign(1, Slice{0, 0});
    m_totalsPage = -1;
    const int pageLines = std::max(1, int(std::floor((m_bodyH - 2 * m_padV) / m_lineH)));
    double y = 0;
    for (int r = 0; r < m_rows; ++r) {
        if (progress && r % 200 == 0 && !progress(r))
            return false;
        int lines = 1;
        for (int c = 0; c < cols; ++c) {
            bool wraps = false;
            lines = std::max(lines, measure(cellText(r, c), m_colW[c] - 2 * m_padH, &wraps));
            m_wraps[size_t(r) * size_t(cols) + size_t(c)] = wraps;
        }
        m_rowLines[size_t(r)] = lines;
        // A row moves whole to the next page; only a row taller than a page is split.
        int start = 0;
        for (;;) {
            const double h = rowHeight(lines - start);
            if (y + h <= m_bodyH + 0.01) {
                y += h;
                break;
            }
            if (y > 0) {
                m_pages.push_back(Slice{r, start});
                y = 0;
                continue;
            }
            start += pageLines;
            m_pages.push_back(Slice{r, start});
        }
    }
    if (m_totalsH > 0) {
        if (y + m_totalsH > m_bodyH + 0.01 && y > 0)
            m_pages.push_back(Slice{m_rows, 0});
        m_totalsPage = int(m_pages.size()) - 1;
    }
    if (progress)
        progress(m_rows);
    return true;
}

void ReportLayout::drawLine(QPainter &p, const QString &text, double x, double width, double baseline,
                            Qt::Alignment align, const QFontMetricsF &fm) const
{
    if (text.isEmpty())
        return;
    double at = x + m_padH;
    if (align & (Qt::AlignRight | Qt::AlignHCenter)) {
        const double free = width - 2 * m_padH - fm.horizontalAdvance(text);
        at += (align & Qt::AlignRight) ? free : free / 2;
    }
    p.drawText(QPointF(at, baseline), text);
}

void ReportLayout::drawCellLine(QPainter &p, GlyphSink *sink, const QString &text, double x, double width,
                                double baseline, Qt::Alignment align) const
{
    if (!sink) {
        drawLine(p, text, x, width, baseline, align, m_fm);
        return;
    }
    if (text.isEmpty())
        return;
    double at = x + m_padH;
    if (align & (Qt::AlignRight | Qt::AlignHCenter)) {
        const double free = width - 2 * m_padH - textWidth(text);
        at += (align & Qt::AlignRight) ? free : free / 2;
    }
    if (isFastAscii(text)) {
        for (const QChar ch : text) {
            const int i = ch.unicode() - 0x20;
            sink->add(m_latin, m_asciiGlyph[i], QPointF(at, baseline));
            at += m_asciiAdvance[i];
        }
        return;
    }
    for (const QGlyphRun &run : shape(text).runs)
        sink->add(run, QPointF(at, baseline));
}

void ReportLayout::paintHeader(QPainter &p, int page) const
{
    p.setFont(m_titleFont);
    for (int k = 0; k < m_title.size(); ++k)
        p.drawText(QPointF((m_page.width() - m_titleFm.horizontalAdvance(m_title[k])) / 2,
                           m_titleFm.ascent() + k * m_titleFm.lineSpacing()),
                   m_title[k]);

    p.setFont(m_font);
    const QString date = QStringLiteral("打印日期: ") + m_date;
    const double dateBase = m_titleH + mm(1.5) + m_ascent;
    p.drawText(QPointF(m_page.width() - m_fm.horizontalAdvance(date), dateBase), date);

    // Word by word with wide blanks: a text reader takes the evenly spaced one-character
    // words of "第 1 页 / 共 2 页" for letter-spaced text and drops the blanks otherwise.
    const QStringList words = QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(pageCount()).split(QLatin1Char(' '));
    const double gap = m_font.pointSizeF() * m_dpi / 72.0 * 0.55;
    double width = gap * (words.size() - 1);
    for (const QString &w : words)
        width += m_fm.horizontalAdvance(w);
    double x = (m_page.width() - width) / 2;
    for (const QString &w : words) {
        p.drawText(QPointF(x, m_footerTop + m_ascent), w);
        x += m_fm.horizontalAdvance(w) + gap;
    }
}

// The column titles; returns their bottom edge.
double ReportLayout::paintTitles(QPainter &p, GlyphSink *sink) const
{
    p.fillRect(QRectF(0, m_tableTop, m_page.width(), m_titleRowH), QColor(0xE4, 0xEC, 0xF7));
    if (sink) {
        for (const QGlyphRun &run : m_titleRuns)
            sink->add(run, QPointF(0, 0));
        return m_tableTop + m_titleRowH;
    }
    p.setFont(m_bold);
    for (int c = 0; c < m_colW.size(); ++c) {
        const QStringList &lines = m_titleLines[c];
        for (int k = 0; k < lines.size(); ++k)
            drawLine(p, lines[k], m_colX[c], m_colW[c], m_tableTop + m_padV + k * m_lineH + m_ascent,
                     Qt::AlignHCenter, m_boldFm);
    }
    return m_tableTop + m_titleRowH;
}

double ReportLayout::paintTotals(QPainter &p, double top) const
{
    const double boxTop = top + mm(2);
    const double boxH = m_totalsH - mm(2);
    p.fillRect(QRectF(0, boxTop, m_page.width(), boxH), QColor(0xF3, 0xF7, 0xFC));
    p.drawRect(QRectF(0, boxTop, m_page.width(), boxH));
    const double itemW = m_page.width() / m_totalsPerLine;
    for (int i = 0; i < m_project.totals.size(); ++i) {
        const ReportTotal &t = m_project.totals[i];
        const double x = (i % m_totalsPerLine) * itemW + m_padH;
        const double base = boxTop + mm(1.5) + (i / m_totalsPerLine) * (m_lineH + mm(1)) + m_ascent;
        const QString caption = t.caption + QLatin1Char(' ');
        p.setFont(m_bold);
        p.drawText(QPointF(x, base), caption);
        p.setFont(m_font);
        p.drawText(QPointF(x + m_boldFm.horizontalAdvance(caption), base), m_params.value(t.param));
    }
    return boxTop + boxH;
}

void ReportLayout::paintPage(QPainter &p, int page) const
{
    if (page < 0 || page >= pageCount())
        return;
    p.save();
    p.setPen(QPen(Qt::black, 0));
    paintHeader(p, page);
    // A PDF (or a printer, which is given a PDF) takes the glyphs gathered per page; the
    // preview records text items as they come.
    GlyphSink sink(p);
    GlyphSink *gather = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Pdf ? &sink : nullptr;
    double y = paintTitles(p, gather);

    const int cols = int(m_colW.size());
    const Slice from = m_pages[size_t(page)];
    const Slice to = page + 1 < pageCount() ? m_pages[size_t(page) + 1] : Slice{m_rows, 0};
    QList<QLineF> rules;
    const double tableTop = m_tableTop;
    rules << QLineF(0, tableTop, m_page.width(), tableTop) << QLineF(0, y, m_page.width(), y);
    p.setFont(m_font);
    for (int r = from.row; r < m_rows && r <= to.row; ++r) {
        const int first = r == from.row ? from.line : 0;
        const int last = r == to.row ? to.line : m_rowLines[size_t(r)];
        if (last <= first)
            continue;
        for (int c = 0; c < cols; ++c) {
            const QString text = cellText(r, c);
            const Qt::Alignment align = m_project.columns[c].align;
            const double base = y + m_padV + m_ascent;
            if (!m_wraps[size_t(r) * size_t(cols) + size_t(c)]) {
                if (first == 0)
                    drawCellLine(p, gather, text, m_colX[c], m_colW[c], base, align);
                continue;
            }
            const QStringList lines = wrap(text, m_colW[c] - 2 * m_padH, m_font);
            for (int k = first; k < last && k < lines.size(); ++k)
                drawCellLine(p, gather, lines[k], m_colX[c], m_colW[c], base + (k - first) * m_lineH, align);
        }
        y += rowHeight(last - first);
        rules << QLineF(0, y, m_page.width(), y);
    }
    sink.flush();
    const double tableBottom = y;
    for (int c = 0; c <= cols; ++c) {
        const double x = c < cols ? m_colX[c] : m_page.width();
        rules << QLineF(x, tableTop, x, tableBottom);
    }
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), mm(0.15)));
    p.drawLines(rules);
    p.setPen(QPen(Qt::black, 0));
    if (page == m_totalsPage)
        paintTotals(p, tableBottom);
    p.restore();
}
