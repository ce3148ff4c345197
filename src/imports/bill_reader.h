#pragma once
// Reading a bill: the file (CSV, XLSX, or either inside a zip, with its password),
// what it is (found by its header cells and marker lines, never by a line number), and
// its rows as entries, each ticked or not with the reason.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include "data/import_store.h"

namespace imports {

enum class BillFormat { Alipay, WeChat, Own, Generic };

// "支付宝账单", "微信支付账单", "本程序导出", "通用表格"
QString formatName(BillFormat f);
// What the source-row table records as the source kind.
QString sourceKind(BillFormat f);

// Which column of a generic table holds what (-1: none). Either one signed amount column
// or an income and an expense column.
struct ColumnMapping {
    int date = -1;
    int summary = -1;
    int party = -1;
    int amount = -1;
    int income = -1;
    int expense = -1;
    int settled = -1;
    int outstanding = -1;
    bool usable() const { return date >= 0 && (amount >= 0 || income >= 0 || expense >= 0); }
    bool operator==(const ColumnMapping &) const = default;
};

// The mapping the header names suggest.
ColumnMapping proposeMapping(const QStringList &header);

struct Bill {
    BillFormat format = BillFormat::Generic;
    QString fileName;          // the file's name (and the member's, inside a zip)
    QString layout;            // which layout of the format, in words
    bool fromXlsx = false;
    QList<QStringList> cells;  // every line of the table file
    int headerRow = -1;        // index into cells
    QStringList header;
    ColumnMapping mapping;     // generic files only
    QList<ImportRow> rows;
};

// Stops a read when the user cancels.
struct ReadCancelled {};

// progress(done, total) is asked now and then; false cancels (ReadCancelled is thrown).
using ReadProgress = std::function<bool(int, int)>;

// Throws ImportError for a file that cannot be read or recognised.
Bill readBill(const QString &path, const QString &password, const ReadProgress &progress = {});
Bill readBillData(const QByteArray &bytes, const QString &fileName, const QString &password,
                  const ReadProgress &progress = {});
// True when the file is a zip with an encrypted member.
bool needsPassword(const QString &path);
// The rows of a generic table under another mapping.
void mapGeneric(Bill &bill, const ColumnMapping &m);

} // namespace imports
