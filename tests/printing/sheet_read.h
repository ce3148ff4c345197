#pragma once
// Reads exported files back the way a spreadsheet user's tools would: the .xlsx through
// openpyxl, the .csv through Python's csv module (after the byte-order mark), both
// handed over as JSON.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace sheet {

// Debian's python3, where python3-openpyxl lives, even when another python3 comes first
// on the PATH.
inline QString python()
{
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFileInfo(debian).isExecutable() ? debian : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

inline QJsonObject runScript(const char *script, const QString &file)
{
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), QString::fromUtf8(script), file});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// sheets: the sheet names; freeze: the top left cell below the frozen panes; rows: every
// row of the first sheet, each cell {v: value, t: openpyxl's type ("n" number, "s" text,
// "f" formula), bold, fmt: number format}; widths: the column widths. Texts are decoded
// as Excel decodes them ("_x0041_" stands for "A", "_x005F_" for "_").
inline QJsonObject readXlsx(const QString &file)
{
    static const char *const script = R"(
import json, re, sys, openpyxl
from openpyxl.utils import get_column_letter
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
def text(v):
    return re.sub(r"_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), v) if isinstance(v, str) else v
rows = [[{"v": text(c.value), "t": c.data_type, "bold": bool(c.font.b), "fmt": c.number_format} for c in row]
        for row in ws.iter_rows()]
widths = [ws.column_dimensions[get_column_letter(i + 1)].width for i in range(ws.max_column)]
print(json.dumps({"sheets": wb.sheetnames, "freeze": ws.freeze_panes, "rows": rows, "widths": widths,
                  "landscape": ws.page_setup.orientation == "landscape"}))
)";
    return runScript(script, file);
}

// bom: the file began with one; rows: the records as lists of texts.
inline QJsonObject readCsv(const QString &file)
{
    static const char *const script = R"(
import csv, json, sys
raw = open(sys.argv[1], "rb").read()
rows = list(csv.reader(open(sys.argv[1], newline="", encoding="utf-8-sig"), strict=True))
print(json.dumps({"bom": raw.startswith(b"\xef\xbb\xbf"), "rows": rows}))
)";
    return runScript(script, file);
}

inline QJsonArray rows(const QJsonObject &o) { return o.value(QStringLiteral("rows")).toArray(); }
inline QJsonObject cell(const QJsonObject &o, int row, int col)
{
    return rows(o).at(row).toArray().at(col).toObject();
}
// The texts of one row of a CSV read back.
inline QStringList record(const QJsonObject &o, int row)
{
    QStringList out;
    for (const QJsonValue &v : rows(o).at(row).toArray())
        out << v.toString();
    return out;
}

} // namespace sheet
