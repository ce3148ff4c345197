#include "imports/bill_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include "imports/bill_values.h"
#include "imports/csv_reader.h"
#include "imports/import_error.h"
#include "imports/text_decode.h"
#include "imports/xlsx_reader.h"
#include "imports/zip_file.h"

namespace imports {

QString formatName(BillFormat f)
{
    switch (f) {
    case BillFormat::Alipay: return QStringLiteral("支付宝账单");
    case BillFormat::WeChat: return QStringLiteral("微信支付账单");
    case BillFormat::Own: return QStringLiteral("本程序导出");
    case BillFormat::Generic: break;
    }
    return QStringLiteral("通用表格");
}

QString sourceKind(BillFormat f)
{
    switch (f) {
    case BillFormat::Alipay: return QStringLiteral("支付宝");
    case BillFormat::WeChat: return QStringLiteral("微信支付");
    case BillFormat::Own: return QStringLiteral("本程序导出");
    case BillFormat::Generic: break;
    }
    return QStringLiteral("通用表格");
}

namespace {

const QString kIncome = QStringLiteral("收入");
const QString kExpense = QStringLiteral("支出");
const QString kClosed = QStringLiteral("交易关闭");
const QString kNeutral = QStringLiteral("不计收支");
const QString kRefund = QStringLiteral("退款");

QString formatError(const QString &what, const QString &value)
{
    return QStringLiteral("格式错误: %1“%2”").arg(what, value);
}

int findColumn(const QStringList &header, std::initializer_list<const char16_t *> names)
{
    for (const char16_t *n : names) {
        const QString name = QString::fromUtf16(n);
        for (int i = 0; i < header.size(); ++i)
            if (bare(header[i]) == name)
                return i;
    }
    return -1;
}

bool hasAll(const QStringList &row, std::initializer_list<const char16_t *> names)
{
    QSet<QString> cells;
    for (const QString &c : row)
        cells.insert(bare(c));
    for (const char16_t *n : names)
        if (!cells.contains(QString::fromUtf16(n)))
            return false;
    return true;
}

int nonEmpty(const QStringList &row)
{
    int n = 0;
    for (const QString &c : row)
        if (!bare(c).isEmpty())
            ++n;
    return n;
}

QString cellAt(const QStringList &row, int col)
{
    return col >= 0 && col < row.size() ? bare(row[col]) : QString();
}

// "/" and "-" stand for an empty value in bills.
QString valueAt(const QStringList &row, int col)
{
    const QString v = cellAt(row, col);
    return (v == u"/" || v == u"-") ? QString() : v;
}

// A row with an unquoted comma in the counterparty has more cells than the header: the
// extra cells belong to the counterparty.
QStringList repaired(const QStringList &row, int headerSize, int party)
{
    const int extra = int(row.size()) - headerSize;
    if (extra <= 0 || party < 0 || party + extra >= row.size())
        return row;
    QStringList out = row.mid(0, party);
    out << row.mid(party, extra + 1).join(QLatin1Char(','));
    out << row.mid(party + extra + 1);
    return out;
}

// verbatim: the program's own texts come back exactly as they were stored.
void setTexts(ImportRow &r, const QString &summary, const QString &party, bool verbatim = false)
{
    bool cutSummary = false, cutParty = false;
    r.summary = entryText(summary, &cutSummary, verbatim);
    r.party = entryText(party, &cutParty, verbatim);
    QStringList notes;
    if (cutSummary)
        notes << QStringLiteral("摘要超过%1字，已截断").arg(kTextLimit);
    if (cutParty)
        notes << QStringLiteral("单位名称超过%1字，已截断").arg(kTextLimit);
    if (!notes.isEmpty())
        r.reason = notes.join(QStringLiteral("；"));
}

// A row the user may not tick: a value that is no date or amount, or a value not known.
void refuse(ImportRow &r, const QString &why)
{
    r.tickable = false;
    r.ticked = false;
    r.reason = r.reason.isEmpty() ? why : why + QStringLiteral("；") + r.reason;
}

void untick(ImportRow &r, const QString &why)
{
    r.ticked = false;
    r.reason = r.reason.isEmpty() ? why : why + QStringLiteral("；") + r.reason;
}

// Fully settled: total = settled, nothing outstanding.
void setSettled(ImportRow &r, qint64 cents)
{
    r.total = amountText(cents);
    r.settled = r.total;
    r.outstanding = amountText(0);
}

// A refund whose original order is in the file and closed moved no money either.
void linkRefunds(QList<ImportRow> &rows, const QSet<int> &refunds)
{
    if (refunds.isEmpty())
        return;
    QHash<QString, int> byOrder;
    for (int i = 0; i < rows.size(); ++i)
        if (!refunds.contains(i) && !rows[i].orderNo.isEmpty())
            byOrder.insert(rows[i].orderNo, i);
    for (int i : refunds) {
        ImportRow &r = rows[i];
        if (r.orderNo.isEmpty() || !r.ticked)
            continue;
        for (qsizetype n = r.orderNo.size() - 1; n > 0; --n) {
            const auto it = byOrder.constFind(r.orderNo.left(n));
            if (it == byOrder.cend())
                continue;
            const ImportRow &original = rows[*it];
            if (!original.ticked && original.reason.startsWith(kClosed))
                untick(r, kRefund);
            break;
        }
    }
}

bool progressAt(const ReadProgress &progress, int done, int total)
{
    if (progress && done % 2000 == 0 && !progress(done, total))
        throw ReadCancelled();
    return true;
}

// --- Alipay -----------------------------------------------------------------------------

bool isAlipayHeader(const QStringList &row)
{
    return (hasAll(row, {u"收/支", u"交易对方", u"交易状态"})
            && (hasAll(row, {u"商品说明", u"金额", u"交易订单号", u"交易时间"})
                || hasAll(row, {u"交易号", u"交易创建时间", u"商品名称", u"金额（元）"})));
}

void mapAlipay(Bill &bill, const ReadProgress &progress)
{
    const QStringList &h = bill.header;
    const int time = findColumn(h, {u"交易时间", u"交易创建时间", u"付款时间"});
    const int dir = findColumn(h, {u"收/支"});
    const int party = findColumn(h, {u"交易对方"});
    const int item = findColumn(h, {u"商品说明", u"商品名称"});
    const int amount = findColumn(h, {u"金额", u"金额（元）", u"金额(元)"});
    const int status = findColumn(h, {u"交易状态"});
    const int category = findColumn(h, {u"交易分类"});
    const int order = findColumn(h, {u"交易订单号", u"交易号"});
    static const QSet<QString> statuses{
        QStringLiteral("交易成功"), QStringLiteral("支付成功"), QStringLiteral("等待确认收货"),
        QStringLiteral("还款成功"), kClosed, QStringLiteral("退款成功"), QStringLiteral("退税成功"),
        QStringLiteral("冻结成功")};
    QSet<int> refunds;
    const int total = int(bill.cells.size());
    for (int i = bill.headerRow + 1; i < total; ++i) {
        progressAt(progress, i, total);
        const QStringList row = repaired(bill.cells[i], int(h.size()), party);
        const QString first = cellAt(row, 0);
        if (first.startsWith(QLatin1String("---")))
            break;   // the trailer of the older layouts
        if (nonEmpty(row) == 0)
            continue;
        ImportRow r;
        r.line = i + 1;
        r.orderNo = cellAt(row, order);
        setTexts(r, valueAt(row, item), valueAt(row, party));
        const QString dirText = cellAt(row, dir);
        const QString state = cellAt(row, status);
        const QString cat = cellAt(row, category);
        const bool isRefund = state == u"退款成功"
            && (cat == kRefund || r.summary.startsWith(QStringLiteral("退款-")) || dirText.isEmpty());
        r.kind = isRefund || dirText != kIncome ? kExpense : kIncome;
        if (dirText == kNeutral || dirText == u"其他") {
            if (r.summary.contains(QStringLiteral("收益发放")))
                r.kind = kIncome;
        }
        r.date = ledgerDate(cellAt(row, time));
        const auto cents = parseAmount(cellAt(row, amount));
        if (cents)
            setSettled(r, isRefund ? -*cents : *cents);
        if (r.date.isEmpty())
            refuse(r, formatError(QStringLiteral("日期"), cellAt(row, time)));
        else if (!cents)
            refuse(r, formatError(QStringLiteral("金额"), cellAt(row, amount)));
        else if (!statuses.contains(state))
            refuse(r, QStringLiteral("未知的交易状态: %1").arg(state));
        else if (state == kClosed)
            untick(r, kClosed);
        else if (isRefund)
            refunds.insert(int(bill.rows.size()));
        else if (dirText == kNeutral || dirText == u"其他")
            untick(r, kNeutral);
        else if (dirText != kIncome && dirText != kExpense)
            refuse(r, QStringLiteral("未知的收/支: %1").arg(dirText));
        bill.rows << r;
    }
    linkRefunds(bill.rows, refunds);
}

// --- WeChat Pay ---------------------------------------------------------------------------

bool isWeChatHeader(const QStringList &row)
{
    return hasAll(row, {u"交易时间", u"交易类型", u"交易对方", u"商品", u"收/支", u"当前状态", u"交易单号"})
        && (hasAll(row, {u"金额(元)"}) || hasAll(row, {u"金额（元）"}));
}

void mapWeChat(Bill &bill, const ReadProgress &progress)
{
    const QStringList &h = bill.header;
    const int time = findColumn(h, {u"交易时间"});
    const int type = findColumn(h, {u"交易类型"});
    const int party = findColumn(h, {u"交易对方"});
    const int item = findColumn(h, {u"商品"});
    const int dir = findColumn(h, {u"收/支"});
    const int amount = findColumn(h, {u"金额(元)", u"金额（元）"});
    const int status = findColumn(h, {u"当前状态"});
    const int order = findColumn(h, {u"交易单号"});
    static const QSet<QString> moved{
        QStringLiteral("支付成功"), QStringLiteral("已存入零钱"), QStringLiteral("已转账"),
        QStringLiteral("对方已收钱"), QStringLiteral("朋友已收钱"), QStringLiteral("已收钱"),
        QStringLiteral("充值完成"), QStringLiteral("提现已到账"), QStringLiteral("已全额退款")};
    // Money sent and returned: none moved.
    static const QSet<QString> returned{QStringLiteral("提现失败，已退回零钱"), QStringLiteral("对方已退还")};
    QSet<int> refunds;
    const int total = int(bill.cells.size());
    for (int i = bill.headerRow + 1; i < total; ++i) {
        progressAt(progress, i, total);
        const QStringList row = repaired(bill.cells[i], int(h.size()), party);
        if (nonEmpty(row) == 0)
            continue;
        if (cellAt(row, 0).startsWith(QLatin1String("---")))
            break;
        ImportRow r;
        r.line = i + 1;
        r.orderNo = cellAt(row, order);
        const QString kindText = cellAt(row, type);
        QString goods = cellAt(row, item);
        if (goods.isEmpty() || goods == u"/")
            goods = kindText;
        setTexts(r, goods, valueAt(row, party));
        const QString dirText = cellAt(row, dir);
        const QString state = cellAt(row, status);
        const bool isRefund = dirText == kIncome && (kindText == kRefund || kindText.endsWith(QStringLiteral("-退款")));
        r.kind = isRefund || dirText != kIncome ? kExpense : kIncome;
        r.date = ledgerDate(cellAt(row, time));
        const auto cents = parseAmount(cellAt(row, amount));
        if (cents)
            setSettled(r, isRefund ? -*cents : *cents);
        const bool knownState = moved.contains(state) || returned.contains(state) || state.startsWith(QStringLiteral("已退款"));
        if (r.date.isEmpty())
            refuse(r, formatError(QStringLiteral("日期"), cellAt(row, time)));
        else if (!cents)
            refuse(r, formatError(QStringLiteral("金额"), cellAt(row, amount)));
        else if (!knownState)
            refuse(r, QStringLiteral("未知的交易状态: %1").arg(state));
        else if (returned.contains(state))
            untick(r, kClosed);
        else if (isRefund)
            refunds.insert(int(bill.rows.size()));
        else if (dirText == u"/")
            untick(r, kNeutral);   // a withdrawal's fee is inside its amount: no entry of its own
        else if (dirText != kIncome && dirText != kExpense)
            refuse(r, QStringLiteral("未知的收/支: %1").arg(dirText));
        bill.rows << r;
    }
    linkRefunds(bill.rows, refunds);
}

// --- the program's own exports --------------------------------------------------------------

const char16_t *const kOwnAmountTitles[6] = {u"收入总额", u"已收金额", u"应收账款", u"支出总额", u"已付金额", u"应付账款"};

bool isOwnHeader(const QStringList &row)
{
    if (row.size() < 6 || bare(row[0]) != u"编号" || bare(row[1]) != u"类别" || bare(row[2]) != u"日期"
        || bare(row[3]) != u"摘要" || bare(row[4]) != u"单位名称")
        return false;
    for (int c = 5; c < row.size(); ++c) {
        const QString t = bare(row[c]);
        if (t.isEmpty())
            continue;
        bool known = false;
        for (const char16_t *title : kOwnAmountTitles)
            known = known || t == QString::fromUtf16(title);
        if (!known)
            return false;
    }
    return true;
}

// The export put "'" before a text a spreadsheet would take for a formula.
QString unguarded(const QString &text)
{
    if (text.size() < 2 || text[0] != u'\'')
        return text;
    const QChar c = text[1];
    if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r')
        return text.mid(1);
    return text;
}

// An amount as the export wrote it: a CSV keeps the stored text, a workbook a number,
// which the book showed with two decimals.
std::optional<QString> ownAmount(const QString &cell, bool fromXlsx)
{
    const QString t = bare(cell);
    if (t.isEmpty())
        return QString();
    if (!parseAmount(t) || t.contains(u',') || t.contains(QChar(0x00A5)) || t.contains(QChar(0xFFE5)))
        return std::nullopt;
    if (!fromXlsx)
        return t;
    QString out = t;
    const qsizetype dot = out.indexOf(u'.');
    if (dot < 0)
        out += QStringLiteral(".00");
    else if (out.size() - dot - 1 < 2)
        out += QString(2 - (out.size() - dot - 1), u'0');
    return out;
}

void mapOwn(Bill &bill, const ReadProgress &progress)
{
    const QStringList &h = bill.header;
    int amountCol[6];
    for (int k = 0; k < 6; ++k)
        amountCol[k] = findColumn(h, {kOwnAmountTitles[k]});
    const int total = int(bill.cells.size());
    for (int i = bill.headerRow + 1; i < total; ++i) {
        progressAt(progress, i, total);
        const QStringList &row = bill.cells[i];
        if (cellAt(row, 0) == u"总计")
            break;   // the book's totals follow the rows
        if (nonEmpty(row) == 0)
            continue;
        ImportRow r;
        r.line = i + 1;
        r.kind = cellAt(row, 1);
        // Only the CSV export guards formulas; a workbook holds the texts as they are.
        if (bill.fromXlsx)
            setTexts(r, row.value(3), row.value(4), true);
        else
            setTexts(r, unguarded(row.value(3)), unguarded(row.value(4)), true);
        r.date = ledgerDate(cellAt(row, 2));
        const bool income = r.kind == kIncome;
        const int base = income ? 0 : 3;
        std::optional<QString> a[3];
        for (int k = 0; k < 3; ++k)
            a[k] = amountCol[base + k] < 0 ? std::optional<QString>(QString()) : ownAmount(row.value(amountCol[base + k]), bill.fromXlsx);
        if (a[0])
            r.total = *a[0];
        if (a[1])
            r.settled = *a[1];
        if (a[2])
            r.outstanding = *a[2];
        if (r.kind != kIncome && r.kind != kExpense)
            refuse(r, QStringLiteral("未知的类别: %1").arg(r.kind));
        else if (r.date.isEmpty())
            refuse(r, formatError(QStringLiteral("日期"), cellAt(row, 2)));
        else if (!a[0] || r.total.isEmpty())
            refuse(r, formatError(QStringLiteral("金额"), cellAt(row, amountCol[base])));
        else if (!a[1] || !a[2])
            refuse(r, formatError(QStringLiteral("金额"), cellAt(row, amountCol[base + (a[1] ? 2 : 1)])));
        bill.rows << r;
    }
}

// --- generic tables ----------------------------------------------------------------------

bool looksLikeValue(const QString &cell)
{
    const QString t = bare(cell);
    return parseAmount(t).has_value() || !ledgerDate(t).isEmpty();
}

} // namespace

ColumnMapping proposeMapping(const QStringList &header)
{
    ColumnMapping m;
    auto pick = [&](std::initializer_list<const char16_t *> exact, std::initializer_list<const char16_t *> parts) {
        int c = findColumn(header, exact);
        if (c >= 0)
            return c;
        for (const char16_t *p : parts) {
            const QString part = QString::fromUtf16(p);
            for (int i = 0; i < header.size(); ++i)
                if (bare(header[i]).contains(part))
                    return i;
        }
        return -1;
    };
    m.date = pick({u"日期", u"交易日期", u"记账日期", u"交易时间", u"交易日", u"记账日", u"时间"}, {u"日期", u"时间"});
    m.summary = pick({u"摘要", u"交易摘要", u"项目摘要", u"商品说明", u"商品", u"用途", u"备注", u"交易详情"}, {u"摘要", u"说明"});
    m.party = pick({u"对方户名", u"交易对方", u"单位名称", u"对手信息", u"对方名称", u"收款人", u"付款人"}, {u"对方", u"单位"});
    m.income = pick({u"收入", u"收入金额", u"贷方金额", u"交易金额(收入)", u"记账金额(收入)", u"收入总额", u"存入"}, {u"收入"});
    m.expense = pick({u"支出", u"支出金额", u"借方金额", u"交易金额(支出)", u"记账金额(支出)", u"支出总额", u"取出"}, {u"支出"});
    if (m.income < 0 && m.expense < 0)
        m.amount = pick({u"金额", u"交易金额", u"人民币金额", u"发生额", u"金额(元)", u"金额（元）"}, {u"金额"});
    m.settled = pick({u"已收金额", u"已付金额", u"已结金额"}, {});
    m.outstanding = pick({u"应收账款", u"应付账款", u"未结金额"}, {});
    if (m.summary == m.party)
        m.summary = -1;
    return m;
}

void mapGeneric(Bill &bill, const ColumnMapping &m)
{
    bill.mapping = m;
    bill.rows.clear();
    if (!m.usable())
        return;
    for (int i = bill.headerRow + 1; i < bill.cells.size(); ++i) {
        const QStringList &row = bill.cells[i];
        if (nonEmpty(row) < 2)
            continue;   // notes and blank lines around the table
        ImportRow r;
        r.line = i + 1;
        setTexts(r, m.summary >= 0 ? valueAt(row, m.summary) : QString(), m.party >= 0 ? valueAt(row, m.party) : QString());
        r.date = ledgerDate(cellAt(row, m.date));
        std::optional<qint64> cents;
        QString shown;
        if (m.amount >= 0) {
            shown = cellAt(row, m.amount);
            cents = parseAmount(shown);
            r.kind = cents && *cents < 0 ? kExpense : kIncome;
            if (cents && *cents < 0)
                cents = -*cents;
        } else {
            const QString in = valueAt(row, m.income), out = valueAt(row, m.expense);
            const auto inC = in.isEmpty() ? std::optional<qint64>(0) : parseAmount(in);
            const auto outC = out.isEmpty() ? std::optional<qint64>(0) : parseAmount(out);
            if (!inC || !outC) {
                shown = !inC ? in : out;
            } else if (*inC != 0) {
                r.kind = kIncome;
                cents = *inC;
            } else {
                r.kind = kExpense;
                cents = *outC < 0 ? -*outC : *outC;
                if (*outC == 0)
                    shown = out, cents.reset();
            }
        }
        std::optional<qint64> settled, outstanding;
        bool partsBad = false;
        if (cents) {
            const QString s = valueAt(row, m.settled), o = valueAt(row, m.outstanding);
            if (m.settled >= 0 && !s.isEmpty() && !(settled = parseAmount(s)))
                partsBad = true;
            if (m.outstanding >= 0 && !o.isEmpty() && !(outstanding = parseAmount(o)))
                partsBad = true;
            // The parts the file leaves out follow from the total.
            if (settled && !outstanding)
                outstanding = *cents - *settled;
            else if (outstanding && !settled)
                settled = *cents - *outstanding;
            else if (!settled && !outstanding)
                settled = *cents, outstanding = 0;
            r.total = amountText(*cents);
            r.settled = amountText(*settled);
            r.outstanding = amountText(*outstanding);
        }
        if (r.date.isEmpty())
            refuse(r, formatError(QStringLiteral("日期"), cellAt(row, m.date)));
        else if (!cents)
            refuse(r, shown.isEmpty() ? QStringLiteral("格式错误: 没有金额") : formatError(QStringLiteral("金额"), shown));
        else if (partsBad)
            refuse(r, formatError(QStringLiteral("金额"), valueAt(row, m.settled) + QLatin1Char('/') + valueAt(row, m.outstanding)));
        bill.rows << r;
    }
}

namespace {

void recognise(Bill &bill, const ReadProgress &progress)
{
    const int scan = std::min<int>(int(bill.cells.size()), 200);
    for (int i = 0; i < scan; ++i) {
        const QStringList &row = bill.cells[i];
        if (isOwnHeader(row) && i < 5) {
            bill.format = BillFormat::Own;
            bill.layout = bill.fromXlsx ? QStringLiteral("Excel 导出") : QStringLiteral("CSV 导出");
        } else if (isAlipayHeader(row)) {
            bill.format = BillFormat::Alipay;
            if (findColumn(row, {u"交易创建时间"}) >= 0) {
                bill.layout = QStringLiteral("网页版导出");
            } else {
                bool summaryFirst = false;
                for (int k = 0; k < i; ++k)
                    summaryFirst = summaryFirst || cellAt(bill.cells[k], 0).startsWith(QStringLiteral("导出信息"));
                bill.layout = summaryFirst ? QStringLiteral("2023年起的手机版导出") : QStringLiteral("2021—2023年的手机版导出");
            }
        } else if (isWeChatHeader(row)) {
            bill.format = BillFormat::WeChat;
            bill.layout = bill.fromXlsx ? QStringLiteral("Excel 账单") : QStringLiteral("CSV 账单");
        } else {
            continue;
        }
        bill.headerRow = i;
        bill.header = row;
        switch (bill.format) {
        case BillFormat::Own: mapOwn(bill, progress); break;
        case BillFormat::Alipay: mapAlipay(bill, progress); break;
        case BillFormat::WeChat: mapWeChat(bill, progress); break;
        case BillFormat::Generic: break;
        }
        return;
    }
    // Another table: the first row whose names propose a usable mapping, else the first
    // row of two or more names above a row of values.
    bill.format = BillFormat::Generic;
    bill.layout = QString();
    const int genericScan = std::min<int>(int(bill.cells.size()), 60);
    for (int i = 0; i < genericScan; ++i) {
        if (nonEmpty(bill.cells[i]) >= 2 && proposeMapping(bill.cells[i]).usable()) {
            bill.headerRow = i;
            break;
        }
    }
    if (bill.headerRow < 0) {
        for (int i = 0; i + 1 < genericScan; ++i) {
            const QStringList &row = bill.cells[i];
            bool names = nonEmpty(row) >= 2;
            for (const QString &c : row)
                names = names && (bare(c).isEmpty() || !looksLikeValue(c));
            if (names && nonEmpty(bill.cells[i + 1]) >= 2) {
                bill.headerRow = i;
                break;
            }
        }
    }
    if (bill.headerRow < 0)
        throw ImportError(QStringLiteral("无法识别这个文件：它不是支付宝或微信支付的账单，也没有标题行。"));
    bill.header = bill.cells[bill.headerRow];
    mapGeneric(bill, proposeMapping(bill.header));
}

bool isXlsxZip(const ZipFile &z)
{
    for (int i = 0; i < z.count(); ++i)
        if (z.name(i).compare(QLatin1String("xl/workbook.xml"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

Bill readTable(const QByteArray &bytes, const QString &fileName, const QString &password, const ReadProgress &progress,
               int depth)
{
    Bill bill;
    bill.fileName = fileName;
    if (ZipFile::looksLikeZip(bytes)) {
        ZipFile z(bytes);
        if (isXlsxZip(z)) {
            bill.fromXlsx = true;
            bill.cells = readXlsx(z, [&](int rows) {
                if (progress && !progress(rows, 0))
                    throw ReadCancelled();
                return true;
            });
        } else {
            if (depth > 0)
                throw ImportError(QStringLiteral("压缩文件中又是压缩文件，无法读取。"));
            // The mailed bill: one CSV or XLSX inside.
            int pickedIndex = -1;
            for (int i = 0; i < z.count() && pickedIndex < 0; ++i) {
                const QString n = z.name(i).toLower();
                if (!z.isDirectory(i) && (n.endsWith(QLatin1String(".csv")) || n.endsWith(QLatin1String(".xlsx"))))
                    pickedIndex = i;
            }
            if (pickedIndex < 0)
                throw ImportError(QStringLiteral("压缩文件中没有 CSV 或 XLSX 账单文件。"));
            const QString inner = z.name(pickedIndex);
            Bill b = readTable(z.read(pickedIndex, password), fileName + QLatin1Char('/') + inner.section(QLatin1Char('/'), -1),
                               password, progress, depth + 1);
            return b;
        }
    } else {
        if (bytes.contains('\0'))
            throw ImportError(QStringLiteral("无法识别这个文件：它不是 CSV 或 XLSX 表格，也不是压缩的账单。"));
        bill.cells = parseCsv(decodeText(bytes));
    }
    recognise(bill, progress);
    return bill;
}

} // namespace

Bill readBillData(const QByteArray &bytes, const QString &fileName, const QString &password, const ReadProgress &progress)
{
    if (bytes.isEmpty())
        throw ImportError(QStringLiteral("这个文件是空的。"));
    return readTable(bytes, fileName, password, progress, 0);
}

Bill readBill(const QString &path, const QString &password, const ReadProgress &progress)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ImportError(QStringLiteral("无法打开文件 %1：%2").arg(path, f.errorString()));
    if (f.size() > (qint64(1) << 30))
        throw ImportError(QStringLiteral("文件太大，无法读取。"));
    const QByteArray bytes = f.readAll();
    return readBillData(bytes, QFileInfo(path).fileName(), password, progress);
}

bool needsPassword(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !ZipFile::looksLikeZip(f.peek(4)))
        return false;
    try {
        ZipFile z(f.readAll());
        for (int i = 0; i < z.count(); ++i)
            if (z.isEncrypted(i))
                return true;
    } catch (const ImportError &) {
    }
    return false;
}

} // namespace imports
