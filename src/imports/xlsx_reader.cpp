#include "imports/xlsx_reader.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <cmath>
#include <cstring>
#include "imports/import_error.h"
#include "imports/zip_file.h"

namespace imports {

namespace {

int memberIndex(const ZipFile &z, const QString &path)
{
    QString want = path;
    while (want.startsWith(QLatin1Char('/')))
        want.remove(0, 1);
    for (int i = 0; i < z.count(); ++i)
        if (z.name(i).compare(want, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QByteArray member(const ZipFile &z, const QString &path, bool required)
{
    const int i = memberIndex(z, path);
    if (i < 0) {
        if (required)
            throw ImportError(QStringLiteral("这个表格文件不完整（缺少 %1），无法读取。").arg(path));
        return QByteArray();
    }
    return z.read(i, QString());
}

[[noreturn]] void damaged(const QString &part, const QXmlStreamReader &x)
{
    throw ImportError(QStringLiteral("这个表格文件已损坏（%1：%2），无法读取。").arg(part, x.errorString()));
}

// A character the XML cannot hold is written "_xHHHH_" ("_x005F_" for a literal "_").
QString unescaped(const QString &t)
{
    if (!t.contains(QLatin1String("_x")))
        return t;
    QString out;
    out.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'_' && i + 6 < t.size() && t[i + 1] == u'x' && t[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(t).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += t[i];
    }
    return out;
}

// "AB12" -> column 27 (0-based), -1 when there is no column part.
int columnOf(QStringView ref)
{
    int col = 0;
    int i = 0;
    for (; i < ref.size(); ++i) {
        const QChar c = ref[i].toUpper();
        if (c < u'A' || c > u'Z')
            break;
        col = col * 26 + (c.unicode() - u'A' + 1);
    }
    return i == 0 ? -1 : col - 1;
}

// A number as a spreadsheet shows it: fifteen significant digits, so that a value kept
// with binary noise (1234.5600000000002) reads as the 1234.56 that was typed.
QString numberText(double v)
{
    if (v == 0)
        return QStringLiteral("0");
    const QString g = QString::number(v, 'g', 15);
    if (!g.contains(u'e'))
        return g;
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

// A date-time serial as text; no time zone enters (bills give China time as it stands).
QString serialText(double serial, bool from1904)
{
    const qint64 secs = qint64(std::llround(serial * 86400.0));
    const qint64 days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
    const qint64 rest = secs - days * 86400;
    const QDate d = QDate(from1904 ? 1904 : 1899, from1904 ? 1 : 12, from1904 ? 1 : 30).addDays(days);
    return QString::asprintf("%04d-%02d-%02d %02lld:%02lld:%02lld", d.year(), d.month(), d.day(), rest / 3600,
                             (rest / 60) % 60, rest % 60);
}


// The tags of a worksheet's XML read straight from its UTF-8 bytes: names without their
// namespace prefix, attributes by name, the text of <v> and of inline strings with the
// five entities and character references decoded. Comments and declarations are skipped.
class SheetScanner
{
public:
    // Views into the sheet's bytes, valid while the scanner is.
    struct Tag {
        QByteArrayView name;
        bool closing = false;
        bool empty = false;   // <c/>
        QByteArrayView attrs;
        QByteArrayView attribute(const char *key) const
        {
            const qsizetype keyLen = qsizetype(qstrlen(key));
            qsizetype i = 0;
            while (i < attrs.size()) {
                while (i < attrs.size() && isSpace(attrs[i]))
                    ++i;
                const qsizetype nameStart = i;
                while (i < attrs.size() && attrs[i] != '=' && !isSpace(attrs[i]))
                    ++i;
                QByteArrayView name(attrs.constData() + nameStart, i - nameStart);
                if (const qsizetype colon = name.indexOf(':'); colon >= 0)
                    name = name.sliced(colon + 1);
                while (i < attrs.size() && (isSpace(attrs[i]) || attrs[i] == '='))
                    ++i;
                if (i >= attrs.size())
                    break;
                const char quote = attrs[i];
                if (quote != '"' && quote != '\'')
                    break;
                const qsizetype valueStart = ++i;
                while (i < attrs.size() && attrs[i] != quote)
                    ++i;
                if (name.size() == keyLen && name == QByteArrayView(key, keyLen))
                    return attrs.sliced(valueStart, i - valueStart);
                ++i;
            }
            return QByteArrayView();
        }
    };

    // A decimal attribute value; 0 when it is none.
    static int number(QByteArrayView v)
    {
        int n = 0;
        for (const char c : v) {
            if (c < '0' || c > '9' || n > 100000000)
                return 0;
            n = n * 10 + (c - '0');
        }
        return n;
    }

    explicit SheetScanner(const QByteArray &xml) : m_p(xml.constData()), m_end(xml.constData() + xml.size()) {}

    bool next(Tag &tag)
    {
        for (;;) {
            const char *lt = static_cast<const char *>(memchr(m_p, '<', size_t(m_end - m_p)));
            if (!lt)
                return false;
            m_p = lt + 1;
            if (m_p < m_end && (*m_p == '?' || *m_p == '!')) {
                const char *close = m_p[0] == '!' && m_end - m_p > 2 && m_p[1] == '-' && m_p[2] == '-'
                    ? find("-->") : find(">");
                if (!close)
                    damaged();
                m_p = close;
                continue;
            }
            readTag(tag);
            return true;
        }
    }

    // The text of the <si> element just read, runs of rich text joined, phonetic guides
    // left out, up to its end tag.
    void stringItem(QString &out)
    {
        Tag tag;
        int phonetic = 0;
        for (;;) {
            if (!next(tag))
                damaged();
            if (tag.name == "si" && tag.closing)
                return;
            if (tag.name == "rPh" && !tag.empty)
                phonetic += tag.closing ? -1 : 1;
            else if (tag.name == "t" && !tag.closing && !tag.empty && phonetic <= 0)
                out += text();
        }
    }

    // The content of the <c> element just read, up to its end tag.
    void cellContent(QString &value, QString &inlineText, bool &hasInline)
    {
        Tag tag;
        int phonetic = 0;
        for (;;) {
            if (!next(tag))
                damaged();
            if (tag.name == "c" && tag.closing)
                return;
            if (tag.closing || tag.empty) {
                if (tag.name == "rPh")
                    phonetic = std::max(0, phonetic - (tag.closing ? 1 : 0));
                if (tag.name == "is" && tag.empty)
                    hasInline = true;
                continue;
            }
            if (tag.name == "v") {
                value = text();
            } else if (tag.name == "is") {
                hasInline = true;
            } else if (tag.name == "rPh") {
                ++phonetic;
            } else if (tag.name == "t" && hasInline && phonetic == 0) {
                inlineText += text();
            } else if (tag.name == "f") {
                text();   // a formula: its cached value follows in <v>
            }
        }
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    [[noreturn]] static void damaged()
    {
        throw ImportError(QStringLiteral("这个表格文件已损坏（工作表），无法读取。"));
    }
    const char *find(const char *what) const
    {
        const qsizetype n = qsizetype(qstrlen(what));
        for (const char *p = m_p; p + n <= m_end; ++p) {
            p = static_cast<const char *>(memchr(p, what[0], size_t(m_end - p)));
            if (!p || p + n > m_end)
                return nullptr;
            if (memcmp(p, what, size_t(n)) == 0)
                return p + n;
        }
        return nullptr;
    }
    void readTag(Tag &tag)
    {
        tag.closing = m_p < m_end && *m_p == '/';
        if (tag.closing)
            ++m_p;
        const char *nameStart = m_p;
        while (m_p < m_end && !isSpace(*m_p) && *m_p != '>' && *m_p != '/')
            ++m_p;
        QByteArrayView name(nameStart, m_p - nameStart);
        if (const qsizetype colon = name.indexOf(':'); colon >= 0)
            name = name.sliced(colon + 1);
        tag.name = name;
        const char *attrStart = m_p;
        char quote = 0;
        while (m_p < m_end && (quote || *m_p != '>')) {
            if (quote && *m_p == quote)
                quote = 0;
            else if (!quote && (*m_p == '"' || *m_p == '\''))
                quote = *m_p;
            ++m_p;
        }
        if (m_p >= m_end)
            damaged();
        tag.empty = m_p > attrStart && m_p[-1] == '/';
        tag.attrs = QByteArrayView(attrStart, (m_p - attrStart) - (tag.empty ? 1 : 0));
        ++m_p;
    }
    // The character data up to the next tag (which is left unread), decoded.
    QString text()
    {
        const char *lt = static_cast<const char *>(memchr(m_p, '<', size_t(m_end - m_p)));
        if (!lt)
            damaged();
        QByteArrayView raw(m_p, lt - m_p);
        m_p = lt;
        if (!raw.contains('&'))
            return QString::fromUtf8(raw);
        QByteArray out;
        out.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const qsizetype semi = raw.indexOf(';', i);
            if (semi < 0)
                damaged();
            const QByteArray e = raw.sliced(i + 1, semi - i - 1).toByteArray();
            if (e == "lt")
                out += '<';
            else if (e == "gt")
                out += '>';
            else if (e == "amp")
                out += '&';
            else if (e == "quot")
                out += '"';
            else if (e == "apos")
                out += '\'';
            else if (e.startsWith('#')) {
                bool ok = false;
                const uint code = e.startsWith("#x") ? e.mid(2).toUInt(&ok, 16) : e.mid(1).toUInt(&ok, 10);
                if (!ok || code > 0x10FFFF)
                    damaged();
                const char32_t c = char32_t(code);
                out += QString::fromUcs4(&c, 1).toUtf8();
            } else {
                damaged();
            }
            i = semi;
        }
        return QString::fromUtf8(out);
    }
    const char *m_p;
    const char *m_end;
};

} // namespace

bool isDateFormat(int id, const QString &code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (code.isEmpty())
        return false;
    // Letters inside quotes, brackets ([Red], [$-804]) and after a backslash are literal.
    bool quote = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            quote = !quote;
        } else if (quote) {
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            ++bracket;
            // [h], [mm], [ss]: elapsed time.
            const QChar n = i + 1 < code.size() ? code[i + 1].toLower() : QChar();
            if (n == u'h' || n == u'm' || n == u's')
                return true;
        } else if (c == u']') {
            bracket = std::max(0, bracket - 1);
        } else if (bracket == 0) {
            const QChar l = c.toLower();
            if (l == u'y' || l == u'm' || l == u'd' || l == u'h' || l == u's')
                return true;
        }
    }
    return false;
}

QList<QStringList> readXlsx(const ZipFile &book, const std::function<bool(int)> &progress)
{
    // The first sheet: workbook.xml names it, its relationships say where it lies.
    QString sheetRel;
    bool from1904 = false;
    {
        QXmlStreamReader x(member(book, QStringLiteral("xl/workbook.xml"), true));
        while (!x.atEnd()) {
            if (x.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (x.name() == u"workbookPr") {
                const auto v = x.attributes().value(QStringLiteral("date1904"));
                from1904 = v == u"1" || v == u"true";
            } else if (x.name() == u"sheet" && sheetRel.isEmpty()) {
                for (const auto &a : x.attributes())
                    if (a.name() == u"id" && a.prefix() == u"r")
                        sheetRel = a.value().toString();
            }
        }
        if (x.hasError())
            damaged(QStringLiteral("workbook"), x);
    }
    QString sheetPath;
    {
        QXmlStreamReader x(member(book, QStringLiteral("xl/_rels/workbook.xml.rels"), true));
        while (!x.atEnd()) {
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"Relationship"
                && x.attributes().value(QStringLiteral("Id")) == sheetRel)
                sheetPath = x.attributes().value(QStringLiteral("Target")).toString();
        }
        if (x.hasError())
            damaged(QStringLiteral("relationships"), x);
    }
    if (sheetRel.isEmpty() || sheetPath.isEmpty())
        throw ImportError(QStringLiteral("这个表格文件中没有工作表。"));
    if (!sheetPath.startsWith(QLatin1Char('/')))
        sheetPath = QStringLiteral("xl/") + sheetPath;

    QStringList shared;
    {
        // Long bills hold a shared string per order number: scanned as bytes too.
        const QByteArray xml = member(book, QStringLiteral("xl/sharedStrings.xml"), false);
        SheetScanner scan(xml);
        SheetScanner::Tag tag;
        while (scan.next(tag)) {
            if (tag.name != "si" || tag.closing)
                continue;
            QString item;
            if (!tag.empty)
                scan.stringItem(item);
            shared << unescaped(item);
        }
    }

    // Which cell styles show dates.
    QList<bool> dateStyle;
    {
        QHash<int, QString> codes;
        QXmlStreamReader x(member(book, QStringLiteral("xl/styles.xml"), false));
        bool inXfs = false;
        while (!x.atEnd()) {
            const auto t = x.readNext();
            if (t == QXmlStreamReader::StartElement) {
                if (x.name() == u"numFmt")
                    codes.insert(x.attributes().value(QStringLiteral("numFmtId")).toInt(),
                                 x.attributes().value(QStringLiteral("formatCode")).toString());
                else if (x.name() == u"cellXfs")
                    inXfs = true;
                else if (inXfs && x.name() == u"xf") {
                    const int id = x.attributes().value(QStringLiteral("numFmtId")).toInt();
                    dateStyle << isDateFormat(id, codes.value(id));
                }
            } else if (t == QXmlStreamReader::EndElement && x.name() == u"cellXfs") {
                inXfs = false;
            }
        }
    }

    // The sheet is by far the largest part: it is scanned as bytes (a general XML reader
    // takes several times as long on a bill of 100 thousand rows).
    const QByteArray xml = member(book, sheetPath, true);
    SheetScanner scan(xml);
    QList<QStringList> rows;
    QStringList row;
    int rowNumber = 0;
    bool inRow = false;
    auto endRow = [&] {
        rows << row;
        row.clear();
        inRow = false;
        if (progress && rows.size() % 5000 == 0)
            progress(int(rows.size()));
    };
    SheetScanner::Tag tag;
    while (scan.next(tag)) {
        if (tag.name == "row" && !tag.closing) {
            if (inRow)
                endRow();
            const int r = SheetScanner::number(tag.attribute("r"));
            rowNumber = r > 0 ? r : rowNumber + 1;
            if (rowNumber > 1048576 || rowNumber <= rows.size())
                throw ImportError(QStringLiteral("这个表格文件已损坏（行号 %1），无法读取。").arg(rowNumber));
            while (rows.size() < rowNumber - 1)
                rows << QStringList();
            inRow = true;
            if (tag.empty)
                endRow();
        } else if (tag.name == "row" && tag.closing) {
            if (inRow)
                endRow();
        } else if (tag.name == "c" && !tag.closing) {
            const QByteArrayView type = tag.attribute("t");
            const int style = SheetScanner::number(tag.attribute("s"));
            int col = columnOf(QString::fromLatin1(tag.attribute("r")));
            if (col < 0)
                col = int(row.size());
            if (col >= 16384)
                throw ImportError(QStringLiteral("这个表格文件已损坏（列超出范围），无法读取。"));
            QString value, inlineText;
            bool hasInline = false;
            if (!tag.empty)
                scan.cellContent(value, inlineText, hasInline);
            QString text;
            if (type == "s") {
                bool ok = false;
                const int i = value.toInt(&ok);
                if (!ok || i < 0 || i >= shared.size())
                    throw ImportError(QStringLiteral("这个表格文件已损坏（共享字符串 %1 不存在），无法读取。").arg(value));
                text = shared[i];
            } else if (type == "inlineStr" || hasInline) {
                text = unescaped(inlineText);
            } else if (type == "str" || type == "e" || type == "d") {
                text = type == "d" ? value.replace(QLatin1Char('T'), QLatin1Char(' ')) : value;
            } else if (type == "b") {
                text = value == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else if (!value.isEmpty()) {
                bool ok = false;
                const double v = value.toDouble(&ok);
                if (!ok)
                    text = value;
                else if (style >= 0 && style < dateStyle.size() && dateStyle[style])
                    text = serialText(v, from1904);
                else
                    text = numberText(v);
            }
            while (row.size() <= col)
                row << QString();
            row[col] = text;
        }
    }
    if (inRow)
        endRow();
    return rows;
}

} // namespace imports
