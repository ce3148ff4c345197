#pragma once
// Small bills made in the test: GBK text, zips written with libzip (plain, traditional
// encryption or AES) and workbooks put together part by part, so each cell type and
// number format is the one a case needs.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <iconv.h>
#include <zip.h>

namespace billfixture {

inline QByteArray gbk(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    QByteArray out(utf8.size() * 2 + 16, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *o = out.data();
    size_t oLeft = size_t(out.size());
    iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(oLeft));
    return out;
}

struct Member {
    QString name;
    QByteArray bytes;
};

// A zip of the members; encryption ZIP_EM_NONE, ZIP_EM_TRAD_PKWARE or ZIP_EM_AES_256.
inline bool writeZip(const QString &path, const QList<Member> &members, zip_uint16_t encryption = ZIP_EM_NONE,
                     const QByteArray &password = {})
{
    int error = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return false;
    QList<QByteArray> keep;   // libzip reads the buffers when it closes
    for (const Member &m : members) {
        keep << m.bytes;
        zip_source_t *src = zip_source_buffer(z, keep.last().constData(), zip_uint64_t(keep.last().size()), 0);
        const zip_int64_t i = zip_file_add(z, m.name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8);
        if (i < 0) {
            zip_source_free(src);
            zip_discard(z);
            return false;
        }
        if (encryption != ZIP_EM_NONE && zip_file_set_encryption(z, zip_uint64_t(i), encryption, password.constData()) != 0) {
            zip_discard(z);
            return false;
        }
    }
    return zip_close(z) == 0;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A workbook of one sheet. A cell's text picks its type: "#n:28.16" a number, "#y:28.16" a
// number with a ¥ format, "#d:45000.5" a date-time serial, "#i:text" an inline string,
// anything else a shared string; "" no cell.
inline QList<Member> workbook(const QList<QStringList> &rows)
{
    auto esc = [](QString t) {
        return t.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('"', "&quot;");
    };
    QStringList shared;
    QString sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int r = 0; r < rows.size(); ++r) {
        if (rows[r].isEmpty())
            continue;   // rows without cells are left out, as writers do
        sheet += QString("<row r=\"%1\">").arg(r + 1);
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString t = rows[r][c];
            if (t.isEmpty())
                continue;
            const QString ref = QString(QChar('A' + c)) + QString::number(r + 1);
            if (t.startsWith("#n:"))
                sheet += QString("<c r=\"%1\"><v>%2</v></c>").arg(ref, t.mid(3));
            else if (t.startsWith("#y:"))
                sheet += QString("<c r=\"%1\" s=\"1\"><v>%2</v></c>").arg(ref, t.mid(3));
            else if (t.startsWith("#d:"))
                sheet += QString("<c r=\"%1\" s=\"2\"><v>%2</v></c>").arg(ref, t.mid(3));
            else if (t.startsWith("#i:"))
                sheet += QString("<c r=\"%1\" t=\"inlineStr\"><is><t>%2</t></is></c>").arg(ref, esc(t.mid(3)));
            else {
                sheet += QString("<c r=\"%1\" t=\"s\"><v>%2</v></c>").arg(ref).arg(shared.size());
                shared << t;
            }
        }
        sheet += "</row>";
    }
    sheet += "</sheetData></worksheet>";
    QString strings = QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"http://schemas.openxmlformats.org/"
                              "spreadsheetml/2006/main\" count=\"%1\" uniqueCount=\"%1\">").arg(shared.size());
    for (const QString &s : shared)
        strings += "<si><t xml:space=\"preserve\">" + esc(s) + "</t></si>";
    strings += "</sst>";
    const QString styles =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"&quot;¥&quot;#,##0.00\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"yyyy\\-mm\\-dd hh:mm:ss\"/></numFmts>"
        "<cellXfs count=\"3\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/></cellXfs></styleSheet>";
    const QString book =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const QString rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/></Relationships>";
    return {{"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
            {"xl/workbook.xml", book.toUtf8()},
            {"xl/_rels/workbook.xml.rels", rels.toUtf8()},
            {"xl/styles.xml", styles.toUtf8()},
            {"xl/sharedStrings.xml", strings.toUtf8()},
            {"xl/worksheets/sheet1.xml", sheet.toUtf8()}};
}

} // namespace billfixture
