// Bills read, recognised, mapped and stored: each fixture is checked against the entries
// the ledger then holds.
#include <QtTest>
#include <QTemporaryDir>

#include "bill_fixture.h"
#include "test_support.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/data_module.h"
#include "data/import_store.h"
#include "data/query.h"
#include "imports/bill_reader.h"
#include "imports/bill_values.h"
#include "imports/import_error.h"
#include "imports/xlsx_reader.h"
#include "imports/zip_file.h"

using namespace imports;
using namespace billfixture;

namespace {

const QString kAlipayMarker = "------------------------支付宝（中国）网络技术有限公司  电子客户回单------------------------";
const QString kAlipayMarker2025 = "------------------------支付宝支付科技有限公司  电子客户回单------------------------";

QString alipayWeb()
{
    return "支付宝交易记录明细查询\r\n"
           "账号:[xxx@example.com]\r\n"
           "起始日期:[2019-08-01 00:00:00]    终止日期:[2019-10-01 00:00:00]\r\n"
           "---------------------------------交易记录明细列表------------------------------------\r\n"
           "交易号                  ,商家订单号               ,交易创建时间              ,付款时间                ,最近修改时间              ,交易来源地     ,类型              ,交易对方            ,商品名称                ,金额（元）   ,收/支     ,交易状态    ,服务费（元）   ,成功退款（元）  ,备注                  ,资金状态     ,\r\n"
           "2019092622001\t        ,T200P1       ,2019-09-26 12:45:27 ,2019-09-26 12:45:28 ,2019-09-26 12:45:28 ,其他      ,即时到账交易      ,某某米线            ,午餐                ,27.00       ,支出      ,交易成功    ,0.00       ,0.00       ,                    ,已支出      ,\r\n"
           "2019092522002\t        ,             ,2019-09-25 09:00:01 ,2019-09-25 09:00:01 ,2019-09-25 09:00:01 ,其他      ,即时到账交易      ,某好友              ,转账                ,0.01        ,收入      ,交易成功    ,0.00       ,0.00       ,                    ,已收入      ,\r\n"
           "------------------------------------------------------------------------------------\r\n"
           "共2笔记录\r\n已收入:1笔,0.01元\r\n待收入:0笔,0.00元\r\n已支出:1笔,27元\r\n待支出:0笔,0.00元\r\n"
           "导出时间:[2019-10-08 14:34:22]    用户:xx\r\n";
}

QString alipayApp2021()
{
    return kAlipayMarker + "\n"
           "收/支,交易对方,对方账号,商品说明,收/付款方式,金额,交易状态,交易分类,交易订单号,商家订单号,交易时间,\n"
           "支出,某某网络技术服务有限公司,,互助分摊-6月第1期,招商银行(9876),6.51,交易成功,互助保障,1234\t,ABC9876\t,2021-06-14 14:00:38,\n"
           "其他,某某基金管理有限公司,e-f***@example.com,余额宝-单次转入,余额,2.00,交易成功,投资理财,1235\t,ABC9877\t,2021-05-30 23:43:37,\n"
           "收入,某公司,,货款,余额,\"1,200.00\",交易成功,收入,1236\t,ABC9878\t,2021-05-02 08:00:00,\n"
           "------------------------------------------------------------------------------------\n"
           "导出信息：\n姓名：xx\n共3笔记录\n特别提示：\n1.本回单内容可表明……\n";
}

QString alipayAppSummary(const QString &marker, bool padded)
{
    QString head = "------------------------------------------------------------------------------------\n"
                   "导出信息：\n姓名：xx\n支付宝账户：xx@example.com\n"
                   "起始时间：[2023-01-01 00:00:00]    终止时间：[2023-02-13 23:59:59]\n导出交易类型：[全部]\n"
                   "导出时间：[2023-02-13 09:12:52]\n共7笔记录\n收入：0笔 0.00元\n支出：4笔 199.74元\n不计收支：3笔 2.37元\n\n"
                   "特别提示：\n1.本回单内容可表明支付宝受理了相应支付交易申请，…\n2.……\n\n"
                   + marker + "\n";
    QStringList lines{
        "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,",
        "2023-02-12 21:32:14,亲友代付,某某,/,亲情卡,支出,49.74,交通银行信用卡(7449),交易成功,2023021200011\t,2023021244741\t,,",
        "2023-01-09 18:22:28,退款,一卡通,fin***@example.com,退款-一卡通充值,不计收支,50.00,余额宝,退款成功,2023010988_2023057\t,D1214\t,,",
        "2023-01-09 18:21:50,交通出行,一卡通,fin***@example.com,一卡通充值,支出,50.00,余额宝,交易关闭,2023010988\t,D1214\t,,",
        "2023-02-01 10:00:00,服饰装扮,某服装店,shop***@example.com,衬衫,支出,100.00,花呗,交易成功,2023020155\t,T55\t,,",
        "2023-02-03 11:00:00,退款,某服装店,shop***@example.com,退款-衬衫,不计收支,30.00,花呗,退款成功,2023020155_77\t,T55\t,,",
        "2023-02-04 00:05:00,投资理财,某基金公司,/,余额宝-2023.02.03-收益发放,不计收支,0.37,余额宝,交易成功,2023020466\t,/\t,,",
        "2023-02-05 09:00:00,信用借还,花呗,/,花呗主动还款-2023年01月账单,不计收支,2.00,余额宝,还款成功,2023020577\t,/\t,,",
    };
    if (padded) {
        for (QString &l : lines)
            l.replace(",", "    ,");
    }
    return head + lines.join("\n") + "\n";
}

QString weChatCsv()
{
    QString pre = "微信支付账单明细,,,,,,,,,,\n微信昵称：[xx],,,,,,,,,,\n"
                  "起始时间：[2019-08-01 00:00:00] 终止时间：[2019-09-30 23:59:59],,,,,,,,,,\n导出类型：[全部],,,,,,,,,,\n"
                  "导出时间：[2019-10-09 16:05:22],,,,,,,,,,\n,,,,,,,,,,\n共5笔记录,,,,,,,,,,\n收入：2笔 50.35元,,,,,,,,,,\n"
                  "支出：2笔 78.16元,,,,,,,,,,\n中性交易：1笔 100.10元,,,,,,,,,,\n注：,,,,,,,,,,\n"
                  "1. 充值/提现/理财通购买/零钱通存取/信用卡还款等交易，将计入中性交易,,,,,,,,,,\n"
                  "2. 本明细仅展示当前账单中的交易，不包括已删除的记录,,,,,,,,,,\n3. 本明细仅供个人对账使用,,,,,,,,,,\n,,,,,,,,,,\n"
                  "----------------------微信支付账单明细列表--------------------,,,,,,,,,,\n";
    return pre + "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"
                 "2019-09-26 12:45:27,\"商户消费\",\"某某米线(某某店)\",\"总共消费:28.16\",\"支出\",¥28.16,\"中国银行(1234)\",\"支付成功\",\"3985734\"\t,\"129847129\"\t,\"/\"\n"
                 "2019-09-24 10:10:11,微信红包,某好友,/,收入,¥0.35,/,已存入零钱,3985735\t,129847130\t,/\n"
                 "2021-07-15 16:29:37,零钱提现,招商银行(),\"/\",/,¥100.10,工商银行,提现已到账,2072107151000771\t,/\t,\"服务费¥0.10\"\n"
                 "2021-07-16 08:00:00,商户消费,某超市,零食,支出,¥50.00,零钱,已全额退款,4200001\t,S1\t,/\n"
                 "2021-07-17 09:30:00,退款,某超市,零食,收入,¥50.00,零钱,已全额退款,4200001_R1\t,S1\t,/\n";
}

QList<QStringList> weChatSheet(bool noteLine, bool dateCells)
{
    QList<QStringList> rows{{"微信支付账单明细"}, {"微信昵称：[xx]"}, {"起始时间：[2025-07-01 00:00:00] 终止时间：[2025-07-31 23:59:59]"},
                            {"导出类型：[全部账单]"}, {"导出时间：[2025-08-01 10:00:00]"}, {}, {"共3笔记录"},
                            {"收入：1笔 1,234.56元"}, {"支出：2笔 128.16元"}, {"中性交易：0笔 0.00元"}, {"注："},
                            {"1. 充值/提现/理财通购买/零钱通存取/信用卡还款等交易，将计入中性交易"},
                            {"2. 本明细仅展示当前账单中的交易，不包括已删除的记录"}, {"3. 本明细仅供个人对账使用"}};
    if (noteLine)
        rows << QStringList{"4. 本账单中所有时间均为UTC+08:00时间"};
    rows << QStringList{} << QStringList{"----------------------微信支付账单明细列表--------------------"};
    rows << QStringList{"交易时间", "交易类型", "交易对方", "商品", "收/支", "金额(元)", "支付方式", "当前状态", "交易单号", "商户单号", "备注"};
    // 2025-07-05 12:00:00 is serial 45843.5
    rows << QStringList{dateCells ? "#d:45843.5" : "2025-07-05 12:00:00", "商户消费", "某某米线", "米线", "支出",
                        noteLine ? "￥28.16" : "#y:28.16", "零钱", "支付成功", "#i:4200000001", "M1", "/"};
    rows << QStringList{dateCells ? "#d:45844.25" : "2025-07-06 06:00:00", "转账", "某公司", "/", "收入",
                        noteLine ? "¥1,234.56" : "#y:1234.56", "/", "已收钱", "4200000002", "M2", "/"};
    rows << QStringList{dateCells ? "#d:45845" : "2025-07-07 00:00:00", "扫二维码付款", "某菜场", "/", "支出",
                        noteLine ? "￥100" : "#n:100", "零钱", "支付成功", "4200000003", "M3", "/"};
    return rows;
}

QString bankCsv()
{
    return "中国工商银行借记账户历史明细（活期）\n"
           "卡号: 6222****1234\n子账户序号: 00000\n"
           "交易日期,摘要,交易详情,交易场所,交易国家或地区简称,钞/汇,交易金额(收入),交易金额(支出),交易币种,记账金额(收入),记账金额(支出),记账币种,余额,对方户名,对方账户\n"
           "2024-03-01 ,工资    \t,三月工资\t,-\t,CHN\t,钞\t,\"12,345.60\"\t,-\t,人民币\t,\"12,345.60\"\t,-\t,人民币\t,\"20,000.00\"\t,某某公司\t,6222000\t\n"
           "2024-03-02 ,消费    \t,超市\t,某超市\t,CHN\t,钞\t,-\t,\"88.50\"\t,人民币\t,-\t,\"88.50\"\t,人民币\t,\"19,911.50\"\t,某超市\t,-\t\n"
           "2024-03-03 ,消费    \t,超市\t,某超市\t,CHN\t,钞\t,-\t,abc\t,人民币\t,-\t,abc\t,人民币\t,\"19,911.50\"\t,某超市\t,-\t\n"
           "\n本明细仅供参考\n";
}

struct Fixture {
    QString file;
    QByteArray bytes;
};

QStringList storedRows(TDataModule2 &dm)
{
    Query q(&dm.conn_jz_m, "probe");
    q.setSql("select b1,b2,b3,b4,b5,b6,b7,b8,b9,b10 from jz_ab order by bid");
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList f;
        for (int c = 0; c < 10; ++c)
            f << (q.isNull(r, c) ? QString("~") : q.value(r, c));
        out << f.join('|');
    }
    return out;
}

QStringList unticked(const Bill &bill)
{
    QStringList out;
    for (const ImportRow &r : bill.rows)
        if (!r.ticked)
            out << QString("%1:%2").arg(r.line).arg(r.reason);
    return out;
}

} // namespace

class TestBillReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::initCoreApplication(); }

    void values_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("amount");
        QTest::newRow("grouped") << "1,234.56" << "1234.56";
        QTest::newRow("yen") << "¥1,234.56" << "1234.56";
        QTest::newRow("full-width yen") << "￥1234.5" << "1234.50";
        QTest::newRow("signed") << "-1,000.00" << "-1000.00";
        QTest::newRow("padded with a tab") << " 28.16\t" << "28.16";
        QTest::newRow("trailing zeros") << "12.3400" << "12.34";
        QTest::newRow("below a cent") << "0.105" << "";
        QTest::newRow("letters") << "12abc" << "";
        QTest::newRow("lone minus") << "-" << "";
    }
    void values()
    {
        QFETCH(QString, text);
        QFETCH(QString, amount);
        const auto cents = parseAmount(text);
        QCOMPARE(cents ? amountText(*cents) : QString(), amount);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date");
        QTest::newRow("time") << "2023-02-12 21:32:14" << "2023- 2-12";
        QTest::newRow("slashes") << "2024/3/1" << "2024- 3- 1";
        QTest::newRow("compact") << "20231109" << "2023-11- 9";
        QTest::newRow("chinese") << "2023年2月1日" << "2023- 2- 1";
        QTest::newRow("own form") << "2012- 8-27" << "2012- 8-27";
        QTest::newRow("no such day") << "2023-02-30" << "";
        QTest::newRow("month first") << "12/31/2023" << "";
        QTest::newRow("no year") << "03/01" << "";
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QString, date);
        QCOMPARE(ledgerDate(text), date);
    }

    // Each file read, recognised and stored into an empty book; the entries it then holds.
    void fixtures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("unticked");

        QTest::newRow("alipay web export, padded, CRLF")
            << "alipay_record.csv" << gbk(alipayWeb()) << "支付宝账单"
            << QStringList{"支出|2019- 9-26|午餐|某某米线|~|~|~|27.00|27.00|0.00",
                           "收入|2019- 9-25|转账|某好友|0.01|0.01|0.00|~|~|~"}
            << QStringList{};
        QTest::newRow("alipay app 2021, trailer")
            << "alipay_2021.csv" << gbk(alipayApp2021()) << "支付宝账单"
            << QStringList{"支出|2021- 6-14|互助分摊-6月第1期|某某网络技术服务有限公司|~|~|~|6.51|6.51|0.00",
                           "收入|2021- 5- 2|货款|某公司|1200.00|1200.00|0.00|~|~|~"}
            << QStringList{"4:不计收支"};
        const QStringList summaryStored{
            "支出|2023- 2-12|亲情卡|某某|~|~|~|49.74|49.74|0.00",
            "支出|2023- 2- 1|衬衫|某服装店|~|~|~|100.00|100.00|0.00",
            "支出|2023- 2- 3|退款-衬衫|某服装店|~|~|~|-30.00|-30.00|0.00"};
        const QStringList summaryUnticked{"20:退款", "21:交易关闭", "24:不计收支", "25:不计收支"};
        QTest::newRow("alipay app 2023, summary on top")
            << "alipay_2023.csv" << gbk(alipayAppSummary(kAlipayMarker, false)) << "支付宝账单" << summaryStored
            << summaryUnticked;
        QTest::newRow("alipay app 2025, new company line, padded")
            << "alipay_2025.csv" << gbk(alipayAppSummary(kAlipayMarker2025, true)) << "支付宝账单" << summaryStored
            << summaryUnticked;

        const QStringList weChatStored{
            "支出|2019- 9-26|总共消费:28.16|某某米线(某某店)|~|~|~|28.16|28.16|0.00",
            "收入|2019- 9-24|微信红包|某好友|0.35|0.35|0.00|~|~|~",
            "支出|2021- 7-16|零食|某超市|~|~|~|50.00|50.00|0.00",
            "支出|2021- 7-17|零食|某超市|~|~|~|-50.00|-50.00|0.00"};
        QTest::newRow("wechat csv with BOM") << "微信支付账单.csv" << ("\xEF\xBB\xBF" + weChatCsv().toUtf8())
                                             << "微信支付账单" << weChatStored << QStringList{"20:不计收支"};
        QTest::newRow("wechat csv without BOM") << "wx.csv" << weChatCsv().toUtf8() << "微信支付账单" << weChatStored
                                                << QStringList{"20:不计收支"};

        const QStringList sheetStored{"支出|2025- 7- 5|米线|某某米线|~|~|~|28.16|28.16|0.00",
                                      "收入|2025- 7- 6|转账|某公司|1234.56|1234.56|0.00|~|~|~",
                                      "支出|2025- 7- 7|扫二维码付款|某菜场|~|~|~|100.00|100.00|0.00"};
        QTemporaryDir dir;
        auto xlsx = [&](const QString &name, const QList<QStringList> &rows) {
            const QString path = dir.filePath(name);
            writeZip(path, workbook(rows));
            return readAll(path);
        };
        QTest::newRow("wechat xlsx, header on row 17, numeric amounts")
            << "wx17.xlsx" << xlsx("17.xlsx", weChatSheet(false, false)) << "微信支付账单" << sheetStored << QStringList{};
        QTest::newRow("wechat xlsx, header on row 18, text amounts, date cells")
            << "wx18.xlsx" << xlsx("18.xlsx", weChatSheet(true, true)) << "微信支付账单" << sheetStored << QStringList{};

        QTest::newRow("gbk bank csv, income and expense columns")
            << "icbc.csv" << gbk(bankCsv()) << "通用表格"
            << QStringList{"收入|2024- 3- 1|工资|某某公司|12345.60|12345.60|0.00|~|~|~",
                           "支出|2024- 3- 2|消费|某超市|~|~|~|88.50|88.50|0.00"}
            << QStringList{"7:格式错误: 金额“abc”"};
    }
    void fixtures()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, unticked);

        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        Bill bill = readBillData(bytes, file, QString());
        QCOMPARE(formatName(bill.format), format);
        ImportStore store(dm.conn_jz_m);
        store.markDuplicates(sourceKind(bill.format), "1", bill.rows);
        QCOMPARE(::unticked(bill), unticked);
        const auto result = store.store("1", sourceKind(bill.format), file, bill.rows);
        QCOMPARE(result.entries, int(stored.size()));
        QCOMPARE(storedRows(dm), stored);

        // The same file again stores nothing: every row it stored is now a duplicate.
        Bill again = readBillData(bytes, file, QString());
        store.markDuplicates(sourceKind(again.format), "1", again.rows);
        for (const ImportRow &r : again.rows)
            QVERIFY2(!r.ticked, qPrintable(QString("line %1 ticked again").arg(r.line)));
        QCOMPARE(store.store("1", sourceKind(again.format), file, again.rows).entries, 0);
        QCOMPARE(storedRows(dm), stored);
    }

    // Cell forms writers use: prefixed names, rich text with phonetic guides, entities,
    // escaped characters, formulas with their value, empty and out-of-order cells, rows
    // left out, comments, date-time and boolean cells.
    void xlsxCells()
    {
        QList<Member> parts = workbook({{"x"}});
        for (Member &m : parts) {
            if (m.name == "xl/sharedStrings.xml")
                m.bytes = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><r><t>富</t></r>"
                          "<r><rPr><b/></rPr><t>文本_x0041_</t></r><rPh sb=\"0\" eb=\"1\"><t>ふ</t></rPh></si><si><t/></si></sst>";
            if (m.name == "xl/worksheets/sheet1.xml")
                m.bytes = "<?xml version=\"1.0\"?><x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                          "<x:sheetData><x:row r=\"1\" spans=\"1:5\"><x:c r=\"A1\" t=\"s\"><x:v>0</x:v></x:c>"
                          "<x:c r=\"C1\" t=\"inlineStr\"><x:is><x:r><x:t>甲&amp;</x:t></x:r><x:r><x:t xml:space='preserve'> 乙&#x4E19;</x:t></x:r></x:is></x:c>"
                          "<x:c r=\"D1\" s=\"1\"/><x:c r=\"E1\" t=\"str\"><x:f>A1&amp;\"x\"</x:f><x:v>算&lt;出</x:v></x:c></x:row>"
                          "<!-- <x:row r=\"2\"> -->"
                          "<x:row r=\"3\"><x:c r=\"B3\" s=\"2\"><x:v>45843.5</x:v></x:c><x:c r=\"A3\" t=\"b\"><x:v>1</x:v></x:c>"
                          "<x:c r=\"C3\"><x:v>1234.5600000000001</x:v></x:c><x:c r=\"D3\" t=\"s\"><x:v>1</x:v></x:c></x:row>"
                          "<x:row r=\"4\"/></x:sheetData></x:worksheet>";
        }
        QTemporaryDir dir;
        QVERIFY(writeZip(dir.filePath("c.xlsx"), parts));
        const QByteArray bytes = readAll(dir.filePath("c.xlsx"));
        ZipFile z(bytes);
        const QList<QStringList> rows = readXlsx(z);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], (QStringList{"富文本A", "", "甲& 乙丙", "", "算<出"}));
        QCOMPARE(rows[1], QStringList{});
        QCOMPARE(rows[2], (QStringList{"TRUE", "2025-07-05 12:00:00", "1234.56", ""}));
        QCOMPARE(rows[3], QStringList{});

        // A damaged sheet is said to be damaged.
        for (Member &m : parts)
            if (m.name == "xl/worksheets/sheet1.xml")
                m.bytes = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row></sheetData></worksheet>";
        QVERIFY(writeZip(dir.filePath("d.xlsx"), parts));
        QVERIFY_THROWS_EXCEPTION(ImportError, readBillData(readAll(dir.filePath("d.xlsx")), "d.xlsx", QString()));
    }

    // The mailed bill: a zip with one CSV, under each kind of encryption.
    void zips_data()
    {
        QTest::addColumn<int>("method");
        QTest::newRow("no encryption") << int(ZIP_EM_NONE);
        QTest::newRow("traditional") << int(ZIP_EM_TRAD_PKWARE);
        QTest::newRow("aes 128") << int(ZIP_EM_AES_128);
        QTest::newRow("aes 256") << int(ZIP_EM_AES_256);
    }
    void zips()
    {
        QFETCH(int, method);
        QTemporaryDir dir;
        const QString path = dir.filePath("支付宝交易明细(20230101-20230213).zip");
        QVERIFY(writeZip(path, {{"alipay_record_20230213.csv", gbk(alipayApp2021())}}, zip_uint16_t(method), "123456"));
        const bool encrypted = method != ZIP_EM_NONE;
        QCOMPARE(needsPassword(path), encrypted);
        if (encrypted) {
            for (const QString &password : {QString(), QString("654321")}) {
                try {
                    readBill(path, password);
                    QFAIL("read without the right password");
                } catch (const ImportError &e) {
                    QCOMPARE(e.kind(), password.isEmpty() ? ImportError::Kind::NeedsPassword : ImportError::Kind::WrongPassword);
                }
            }
        }
        const Bill bill = readBill(path, encrypted ? "123456" : "");
        QCOMPARE(bill.format, BillFormat::Alipay);
        QCOMPARE(bill.rows.size(), 3);
        QCOMPARE(bill.rows[0].total, QString("6.51"));
    }

    // Input that is no bill, or rows with values that are not known, get a clear answer.
    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no header row") << QByteArray("hello\nworld\n1\n");
        QTest::newRow("binary") << QByteArray("\x7f" "ELF\0\0\x01", 7);
        QTest::newRow("damaged zip") << QByteArray("PK\x03\x04garbage");
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(ImportError, readBillData(bytes, "x.csv", QString()));
    }

    void badRows()
    {
        const QString tooLong(200, QChar(0x5BB6));
        const QString text = kAlipayMarker + "\n"
            "收/支,交易对方,对方账号,商品说明,收/付款方式,金额,交易状态,交易分类,交易订单号,商家订单号,交易时间,\n"
            "支出,甲,,一,余额,abc,交易成功,日用,1\t,,2021-06-14 14:00:38,\n"
            "支出,乙,,二,余额,1.00,处理中,日用,2\t,,2021-06-14 14:00:38,\n"
            "借出,丙,,三,余额,1.00,交易成功,日用,3\t,,2021-06-14 14:00:38,\n"
            "支出,丁,,四,余额,1.00,交易成功,日用,4\t,,2021-13-01 14:00:38,\n"
            "支出," + tooLong + ",,五\x01六\x7f,余额,1.00,交易成功,日用,5\t,,2021-06-15 14:00:38,\n"
            "支出,戊,,七,余额,1.00,交易成功,日用,5\t,,2021-06-16 14:00:38,\n";
        const Bill bill = readBillData(gbk(text), "bad.csv", QString());
        QCOMPARE(bill.rows.size(), 6);
        QCOMPARE(bill.rows[0].reason, QString("格式错误: 金额“abc”"));
        QCOMPARE(bill.rows[1].reason, QString("未知的交易状态: 处理中"));
        QCOMPARE(bill.rows[2].reason, QString("未知的收/支: 借出"));
        QCOMPARE(bill.rows[3].reason, QString("格式错误: 日期“2021-13-01 14:00:38”"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(!bill.rows[i].ticked && !bill.rows[i].tickable);
        // Cut and cleaned, still ticked, and said so.
        QVERIFY(bill.rows[4].ticked);
        QCOMPARE(bill.rows[4].party, QString(160, QChar(0x5BB6)));
        QCOMPARE(bill.rows[4].summary, QString("五 六"));
        QCOMPARE(bill.rows[4].reason, QString("单位名称超过160字，已截断"));

        // The same order number twice in one file: the second is a duplicate; stored once.
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        QList<ImportRow> rows = bill.rows;
        ImportStore(dm.conn_jz_m).markDuplicates("支付宝", "1", rows);
        QVERIFY(rows[4].ticked);
        QCOMPARE(rows[5].reason, QString("重复"));
    }

    // Two rows alike in date and amount but with their own order numbers are both stored;
    // rows without a number that match an entry of the book are flagged but may be ticked.
    void alikeRows()
    {
        const QString text = kAlipayMarker + "\n"
            "收/支,交易对方,对方账号,商品说明,收/付款方式,金额,交易状态,交易分类,交易订单号,商家订单号,交易时间,\n"
            "支出,食堂,,午餐,余额,12.00,交易成功,餐饮,9001\t,,2021-06-14 12:00:00,\n"
            "支出,食堂,,午餐,余额,12.00,交易成功,餐饮,9002\t,,2021-06-14 12:00:00,\n";
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        Bill bill = readBillData(gbk(text), "a.csv", QString());
        ImportStore store(dm.conn_jz_m);
        store.markDuplicates("支付宝", "1", bill.rows);
        QCOMPARE(store.store("1", "支付宝", "a.csv", bill.rows).entries, 2);

        const QByteArray generic = "日期,摘要,对方户名,金额\n2021-06-14,午餐,食堂,-12\n2021-06-14,午餐,食堂,-12.5\n";
        Bill g = readBillData(generic, "g.csv", QString());
        QCOMPARE(g.format, BillFormat::Generic);
        store.markDuplicates("通用表格", "1", g.rows);
        QCOMPARE(::unticked(g), QStringList{"2:重复"});
        QVERIFY(g.rows[0].tickable);
    }

    // All or nothing: a row the ledger refuses takes every row of the batch with it.
    void allOrNothing()
    {
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        QList<ImportRow> rows(3);
        for (int i = 0; i < 3; ++i) {
            rows[i].kind = "支出";
            rows[i].date = "2026- 1- 1";
            rows[i].summary = "x";
            rows[i].party = "y";
            rows[i].total = rows[i].settled = "1.00";
            rows[i].outstanding = "0.00";
            rows[i].orderNo = QString::number(i);
        }
        rows[2].kind = "转账";
        ImportStore store(dm.conn_jz_m);
        QVERIFY_THROWS_EXCEPTION(DbError, store.store("1", "支付宝", "f.csv", rows));
        QCOMPARE(storedRows(dm), QStringList{});
        // A cancel midway stores nothing either.
        rows[2].kind = "支出";
        QVERIFY(store.store("1", "支付宝", "f.csv", rows, [](int) { return false; }).cancelled);
        QCOMPARE(storedRows(dm), QStringList{});
        QCOMPARE(store.lastBatch().batch, 0);
    }
};

QTEST_GUILESS_MAIN(TestBillReader)
#include "tst_bill_reader.moc"
