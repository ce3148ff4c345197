#include "imports/xlsx_reader.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <cmath>
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

// The text of the element the reader stands on, runs of rich text joined; phonetic
// guides left out.
QString stringItem(QXmlStreamReader &x)
{
    QString out;
    int depth = 1;
    bool phonetic = false;
    while (depth > 0 && !x.atEnd()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::StartElement) {
            ++depth;
            if (x.name() == u"rPh")
                phonetic = true;
            else if (x.name() == u"t" && !phonetic)
                out += unescaped(x.readElementText()), --depth;
        } else if (t == QXmlStreamReader::EndElement) {
            --depth;
            if (x.name() == u"rPh")
                phonetic = false;
        }
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

QString numberText(double v)
{
    if (v == 0)
        return QStringLiteral("0");
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

QString serialText(double serial, bool from1904)
{
    const QDateTime base(from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30), QTime(0, 0));
    const qint64 secs = qint64(std::llround(serial * 86400.0));
    return base.addSecs(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

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
        QXmlStreamReader x(member(book, QStringLiteral("xl/sharedStrings.xml"), false));
        while (!x.atEnd()) {
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"si")
                shared << stringItem(x);
        }
        if (x.hasError() && !shared.isEmpty())
            damaged(QStringLiteral("sharedStrings"), x);
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

    QList<QStringList> rows;
    QXmlStreamReader x(member(book, sheetPath, true));
    QStringList row;
    int rowNumber = 0;
    while (!x.atEnd()) {
        const auto t = x.readNext();
        if (t == QXmlStreamReader::StartElement && x.name() == u"row") {
            const int r = x.attributes().value(QStringLiteral("r")).toInt();
            rowNumber = r > 0 ? r : rowNumber + 1;
            if (rowNumber > 1048576 || rowNumber <= rows.size())
                throw ImportError(QStringLiteral("这个表格文件已损坏（行号 %1），无法读取。").arg(rowNumber));
            while (rows.size() < rowNumber - 1)
                rows << QStringList();
            row.clear();
        } else if (t == QXmlStreamReader::EndElement && x.name() == u"row") {
            rows << row;
            if (progress && rows.size() % 5000 == 0 && !progress(int(rows.size())))
                return rows;
        } else if (t == QXmlStreamReader::StartElement && x.name() == u"c") {
            const auto attrs = x.attributes();
            const QString type = attrs.value(QStringLiteral("t")).toString();
            const int style = attrs.value(QStringLiteral("s")).toInt();
            int col = columnOf(attrs.value(QStringLiteral("r")));
            if (col < 0)
                col = int(row.size());
            if (col >= 16384)
                throw ImportError(QStringLiteral("这个表格文件已损坏（列超出范围），无法读取。"));
            QString value, inlineText;
            bool hasInline = false;
            int depth = 1;
            while (depth > 0 && !x.atEnd()) {
                const auto tt = x.readNext();
                if (tt == QXmlStreamReader::StartElement) {
                    if (x.name() == u"v") {
                        value = x.readElementText();
                    } else if (x.name() == u"is") {
                        inlineText = stringItem(x);
                        hasInline = true;
                    } else {
                        ++depth;
                    }
                } else if (tt == QXmlStreamReader::EndElement) {
                    --depth;
                }
            }
            QString text;
            if (type == u"s") {
                bool ok = false;
                const int i = value.toInt(&ok);
                if (!ok || i < 0 || i >= shared.size())
                    throw ImportError(QStringLiteral("这个表格文件已损坏（共享字符串 %1 不存在），无法读取。").arg(value));
                text = shared[i];
            } else if (type == u"inlineStr" || hasInline) {
                text = inlineText;
            } else if (type == u"str" || type == u"e" || type == u"d") {
                text = type == u"d" ? value.replace(QLatin1Char('T'), QLatin1Char(' ')) : value;
            } else if (type == u"b") {
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
    if (x.hasError())
        damaged(QStringLiteral("worksheet"), x);
    return rows;
}

} // namespace imports
