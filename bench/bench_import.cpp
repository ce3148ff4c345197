// Benchmark of the bill import: reads and imports bills of N rows (default 100 000) made
// here, with the program's own code, and prints the times.
//   tallyrue_bench_import [N]
// The work runs on a worker thread in the window; the book refresh after the import runs
// on the user-interface thread and is timed on its own.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <iconv.h>
#include <zip.h>
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/import_store.h"
#include "imports/bill_reader.h"

namespace {

QByteArray gbk(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    QByteArray out(utf8.size() * 2 + 16, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size()), oLeft = size_t(out.size());
    char *o = out.data();
    iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(oLeft));
    return out;
}

QString alipay(int n)
{
    QString s = "------------------------------------------------------------------------------------\n导出信息：\n"
                "共" + QString::number(n) + "笔记录\n\n"
                "------------------------支付宝支付科技有限公司  电子客户回单------------------------\n"
                "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,\n";
    s.reserve(n * 130);
    for (int i = 0; i < n; ++i) {
        const bool in = i % 7 == 0;
        s += QString::asprintf("2025-%02d-%02d 12:%02d:%02d,日用百货,", 1 + i % 12, 1 + i % 28, i % 60, (i / 60) % 60);
        s += QStringLiteral("商户%1,/,商品%2,").arg(i % 331).arg(i % 997);
        s += in ? QStringLiteral("收入,") : QStringLiteral("支出,");
        s += QString::asprintf("%d.%02d,余额,交易成功,2025%012d\t,M%d\t,,\n", 1 + (i * 7919) % 5000, i % 100, i, i);
    }
    return s;
}

QByteArray weChatXlsx(const QString &path, int n)
{
    QString sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
                    "<row r=\"17\"><c r=\"A17\" t=\"inlineStr\"><is><t>交易时间</t></is></c><c r=\"B17\" t=\"inlineStr\"><is><t>交易类型</t></is></c>"
                    "<c r=\"C17\" t=\"inlineStr\"><is><t>交易对方</t></is></c><c r=\"D17\" t=\"inlineStr\"><is><t>商品</t></is></c>"
                    "<c r=\"E17\" t=\"inlineStr\"><is><t>收/支</t></is></c><c r=\"F17\" t=\"inlineStr\"><is><t>金额(元)</t></is></c>"
                    "<c r=\"G17\" t=\"inlineStr\"><is><t>支付方式</t></is></c><c r=\"H17\" t=\"inlineStr\"><is><t>当前状态</t></is></c>"
                    "<c r=\"I17\" t=\"inlineStr\"><is><t>交易单号</t></is></c><c r=\"J17\" t=\"inlineStr\"><is><t>商户单号</t></is></c>"
                    "<c r=\"K17\" t=\"inlineStr\"><is><t>备注</t></is></c></row>";
    for (int i = 0; i < n; ++i) {
        const int r = 18 + i;
        sheet += QStringLiteral("<row r=\"%1\"><c r=\"A%1\" s=\"2\"><v>%2</v></c><c r=\"B%1\" t=\"s\"><v>0</v></c>"
                                "<c r=\"C%1\" t=\"inlineStr\"><is><t>商户%3</t></is></c><c r=\"D%1\" t=\"inlineStr\"><is><t>商品%4</t></is></c>"
                                "<c r=\"E%1\" t=\"s\"><v>1</v></c><c r=\"F%1\" s=\"1\"><v>%5</v></c><c r=\"G%1\" t=\"s\"><v>2</v></c>"
                                "<c r=\"H%1\" t=\"s\"><v>3</v></c><c r=\"I%1\" t=\"inlineStr\"><is><t>42%6</t></is></c>"
                                "<c r=\"J%1\" t=\"inlineStr\"><is><t>M%6</t></is></c><c r=\"K%1\" t=\"s\"><v>4</v></c></row>")
                     .arg(r)
                     .arg(45658.5 + i / 1000.0)
                     .arg(i % 331)
                     .arg(i % 997)
                     .arg(1 + (i * 7919) % 5000 + (i % 100) / 100.0)
                     .arg(i, 12, 10, QLatin1Char('0'));
    }
    sheet += "</sheetData></worksheet>";
    const QByteArray parts[][2] = {
        {"xl/workbook.xml", "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                            "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                       "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\" Type=\"x\"/></Relationships>"},
        {"xl/styles.xml", "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"&quot;¥&quot;#,##0.00\"/></numFmts>"
                          "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"22\"/></cellXfs></styleSheet>"},
        {"xl/sharedStrings.xml", QString("<sst><si><t>商户消费</t></si><si><t>支出</t></si><si><t>零钱</t></si>"
                                         "<si><t>支付成功</t></si><si><t>/</t></si></sst>").toUtf8()},
        {"xl/worksheets/sheet1.xml", sheet.toUtf8()},
    };
    int err = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (const auto &p : parts) {
        zip_source_t *src = zip_source_buffer(z, p[1].constData(), zip_uint64_t(p[1].size()), 0);
        zip_file_add(z, p[0].constData(), src, 0);
    }
    zip_close(z);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void zipAes(const QString &path, const QString &member, const QByteArray &bytes)
{
    int err = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    zip_source_t *src = zip_source_buffer(z, bytes.constData(), zip_uint64_t(bytes.size()), 0);
    const zip_int64_t i = zip_file_add(z, member.toUtf8().constData(), src, 0);
    zip_file_set_encryption(z, zip_uint64_t(i), ZIP_EM_AES_256, "123456");
    zip_close(z);
}

// The machine is shared: beside the wall-clock time each step reports the processor time
// this process spent in it, which other programs' load does not inflate.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Span {
    double wall;
    double cpu;
};
double g_cpuMark = 0;

Span ms(QElapsedTimer &t)
{
    const Span v{t.nsecsElapsed() / 1e6, cpuMs() - g_cpuMark};
    t.restart();
    g_cpuMark = cpuMs();
    return v;
}

void line(const char *what, Span v, const char *target = "")
{
    std::printf("%-52s %7.0f ms wall %7.0f ms cpu  %s\n", what, v.wall, v.cpu, target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tallyrue"));
    const int n = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir tmp;
    // TALLYRUE_BENCH_KEEP=1 keeps the bills made here for a look.
    tmp.setAutoRemove(qEnvironmentVariableIsEmpty("TALLYRUE_BENCH_KEEP"));
    if (!tmp.autoRemove())
        std::printf("bills in %s\n", qPrintable(tmp.path()));
    const QString csv = tmp.filePath("alipay.csv");
    {
        QFile f(csv);
        f.open(QIODevice::WriteOnly);
        f.write(gbk(alipay(n)));
    }
    QFile raw(csv);
    raw.open(QIODevice::ReadOnly);
    const QByteArray csvBytes = raw.readAll();
    zipAes(tmp.filePath("alipay.zip"), "alipay.csv", csvBytes);
    weChatXlsx(tmp.filePath("wechat.xlsx"), n);
    std::printf("Bill import, %d rows (files: CSV %lld KiB, XLSX %lld KiB)\n", n, (long long)(csvBytes.size() / 1024),
                (long long)(QFile(tmp.filePath("wechat.xlsx")).size() / 1024));

    QElapsedTimer t;
    t.start();
    g_cpuMark = cpuMs();
    imports::Bill alipayBill = imports::readBill(csv, QString());
    const Span readCsv = ms(t);
    imports::readBill(tmp.filePath("alipay.zip"), "123456");
    const Span readZip = ms(t);
    imports::Bill wx = imports::readBill(tmp.filePath("wechat.xlsx"), QString());
    const Span readXlsx = ms(t);

    QTemporaryDir data;
    TDataModule2 dm(data.path());
    BookRefresh::full(dm);
    ms(t);
    {
        const auto c = ImportStore::openLedger(dm);
        ImportStore(*c).markDuplicates("支付宝", "1", alipayBill.rows);
    }
    const Span dupEmpty = ms(t);
    ImportStore::Stored stored;
    {
        const auto c = ImportStore::openLedger(dm);
        stored = ImportStore(*c).store("1", "支付宝", "alipay.csv", alipayBill.rows);
        const auto f = ImportStore::openPhrases(dm);
        ImportStore::addPhrases(*f, alipayBill.rows);
    }
    const Span store = ms(t);
    BookRefresh::rerunEntries(dm);
    dm.Query_jz_a1->reopen();
    dm.Query_jz_a2->reopen();
    BookRefresh::loadTotals(dm);
    const Span refresh = ms(t);
    imports::Bill again = imports::readBill(csv, QString());
    {
        const auto c = ImportStore::openLedger(dm);
        ImportStore(*c).markDuplicates("支付宝", "1", again.rows);
    }
    const Span readAgain = ms(t);
    int tickedAgain = 0;
    for (const ImportRow &r : again.rows)
        tickedAgain += r.ticked;
    {
        const auto c = ImportStore::openLedger(dm);
        ImportStore(*c).markDuplicates("微信支付", "1", wx.rows);
        ImportStore(*c).store("1", "微信支付", "wechat.xlsx", wx.rows);
    }
    const Span storeWx = ms(t);
    ImportStore::Undone undone;
    {
        const auto c = ImportStore::openLedger(dm);
        undone = ImportStore(*c).undoLast();
    }
    const Span undo = ms(t);

    line("read Alipay CSV (GBK) into the preview", readCsv, "(target 3000, worker thread)");
    line("read the same CSV from an AES zip", readZip, "(target 3000, worker thread)");
    line("read WeChat XLSX into the preview", readXlsx, "(target 3000, worker thread)");
    line("duplicate check against an empty ledger", dupEmpty, "(worker thread)");
    std::printf("%-52s %9d rows\n", "stored", stored.entries);
    line("import: one transaction + phrase lists", store, "(target 5000, worker thread)");
    line("book refresh after the import", refresh, "(user-interface thread)");
    line("read the CSV again + duplicate check (all present)", readAgain, "(worker thread)");
    std::printf("%-52s %9d rows\n", "ticked on the second read", tickedAgain);
    line("duplicate check + import of the XLSX rows", storeWx, "(worker thread)");
    line("undo of the last batch", undo, "(worker thread)");
    std::printf("%-52s %9d rows\n", "removed by the undo", undone.removed);
    return 0;
}
