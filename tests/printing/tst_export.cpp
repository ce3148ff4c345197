// The reports exported to Excel and CSV as the user exports them from the output choice,
// read back the way a spreadsheet user's tools read them.
#include <QtTest>
#include <sys/stat.h>
#include "data/private_files.h"
#include <QComboBox>
#include <QDirIterator>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include "../books/book_fixture.h"
#include "print_fixture.h"
#include "sheet_read.h"
#include "app/online_check.h"
#include "books/quick_search.h"
#include "printing/csv_export.h"
#include "printing/export_table.h"
#include "printing/report_engine.h"
#include "printing/report_printing.h"
#include "printing/report_project.h"
#include "printing/xlsx_export.h"
#include "ui/message_box.h"

namespace {

using printfix::Prog;

const QStringList kBookTitles{"编号", "类别", "日期", "摘要", "单位名称", "收入总额",
                              "已收金额", "应收账款", "支出总额", "已付金额", "应付账款"};

const QString kFormula = QStringLiteral("=HYPERLINK(\"http://example.invalid\",\"点我\")");

// Book 1 (家庭) with texts a spreadsheet could misread, book 12 with one entry that must
// never show. Listed newest first: 6, 4, 3, 2, 1.
void fillTricky(Prog &p)
{
    p.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (12,'十二号','2026-1-1','','0')");
    p.add("收入", "2026- 3- 1", kFormula, "公司,北京", "100.00", "60.00", "40.00");
    p.add("支出", "2026- 1-15", "支付\"房租\"", "房东\n老王", "35.50", "35.50", "0.00");
    p.add("收入", "2026- 2- 9", "@SUM(A1)", "-对方", "0.10", "0.10", "0.00");
    p.add("支出", "2026- 4- 2", "+86 退款", "文具店", "-0.20", "0.00", "-0.20");
    p.add("收入", "2026- 1- 1", "别的账本", "别处", "999.00", "999.00", "0.00", "12");
    p.add("收入", "2026- 5- 1", "_x0041_ 代码", "控制\x01符", "1.00", "1.00", "0.00");
}

// The fixture's rows as stored, in the grid's order: 编号 to 应付账款.
const QList<QStringList> kTrickyRows{
    {"6", "收入", "2026- 5- 1", "_x0041_ 代码", "控制\x01符", "1.00", "1.00", "0.00", "", "", ""},
    {"4", "支出", "2026- 4- 2", "+86 退款", "文具店", "", "", "", "-0.20", "0.00", "-0.20"},
    {"3", "收入", "2026- 2- 9", "@SUM(A1)", "-对方", "0.10", "0.10", "0.00", "", "", ""},
    {"2", "支出", "2026- 1-15", "支付\"房租\"", "房东\n老王", "", "", "", "35.50", "35.50", "0.00"},
    {"1", "收入", "2026- 3- 1", kFormula, "公司,北京", "100.00", "60.00", "40.00", "", "", ""},
};

ReportProject shipped(const QString &name)
{
    ReportProject p;
    QString error;
    const QString path = QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print/") + name;
    if (!ReportProject::load(path, &p, &error))
        qWarning("%s", qPrintable(error));
    return p;
}

// Hidden temporary files left anywhere below the folder.
QStringList leftovers(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (name.startsWith(QLatin1Char('.')))
            out << name;
    }
    return out;
}

// Files this process holds open though they are deleted: temporary files a run left open,
// whose space stays taken until the program ends.
QStringList deletedButOpen()
{
    QStringList out;
    for (const QString &fd : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        const QString target = QFile::symLinkTarget("/proc/self/fd/" + fd);
        if (target.endsWith(" (deleted)"))
            out << target;
    }
    return out;
}

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The 编号 column of an export: the sheet's rows below the titles, the CSV's records below
// the titles, up to the totals.
QStringList exportedBids(const QString &file, bool excel)
{
    QStringList out;
    if (excel) {
        const QJsonArray rows = sheet::rows(sheet::readXlsx(file));
        for (int r = 2; r < rows.size(); ++r) {
            const QJsonObject c = rows[r].toArray().at(0).toObject();
            if (c.value("t").toString() != "n")
                break;
            out << QString::number(c.value("v").toInt());
        }
    } else {
        const QJsonObject csv = sheet::readCsv(file);
        for (int r = 1; r < sheet::rows(csv).size(); ++r) {
            const QString bid = sheet::record(csv, r).value(0);
            if (bid == report::ExportTable::totalsLabel())
                break;
            out << bid;
        }
    }
    return out;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
        report::setScripted(true);
        ReportFiles::setFolders({QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print")});
        QVERIFY2(!sheet::python().isEmpty(), "the tests read exports back with python3 and openpyxl");
        // The disk-full case writes past a file size limit: the write fails, the process lives.
        std::signal(SIGXFSZ, SIG_IGN);
    }
    void init()
    {
        msg::clearShown();
        report::clearRuns();
        report::setScripted(true);
    }

    // The account-book export as Excel: the sheet named after the book, the title, bold
    // frozen column titles, the listed rows with numbers as numbers and texts (formulas
    // included) as texts, the six totals as the page shows them, and fitting widths.
    void excelBook()
    {
        Prog p;
        fillTricky(p);
        p.show();
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(docs));
        const QString file = p.printBookPage("book.xlsx", report::Output::Excel);
        QVERIFY2(msg::shown().isEmpty(), qPrintable(msg::lastShown().text));
        QCOMPARE(report::runs().size(), 1);
        const report::Run run = report::runs().first();
        QCOMPARE(run.output, report::Output::Excel);
        QVERIFY(run.finished);
        QCOMPARE(run.proposed, docs + "/家庭 的明细收支记录.xlsx");
        QCOMPARE(run.params.size(), 7);   // the report's parameters, nothing added

        const QJsonObject x = sheet::readXlsx(file);
        QCOMPARE(x.value("sheets").toArray(), QJsonArray{"家庭"});
        QCOMPARE(x.value("freeze").toString(), QString("A3"));
        QVERIFY(x.value("landscape").toBool());
        const QJsonArray rows = sheet::rows(x);
        QCOMPARE(rows.size(), 2 + kTrickyRows.size() + 1);
        QCOMPARE(sheet::cell(x, 0, 0).value("v").toString(), QString("家庭 的明细收支记录"));
        QVERIFY(sheet::cell(x, 0, 0).value("bold").toBool());
        for (int c = 0; c < kBookTitles.size(); ++c) {
            QCOMPARE(sheet::cell(x, 1, c).value("v").toString(), kBookTitles[c]);
            QVERIFY(sheet::cell(x, 1, c).value("bold").toBool());
        }
        for (int r = 0; r < kTrickyRows.size(); ++r) {
            const QStringList &want = kTrickyRows[r];
            const QJsonObject bid = sheet::cell(x, r + 2, 0);
            QCOMPARE(bid.value("t").toString(), QString("n"));
            QCOMPARE(QString::number(bid.value("v").toInt()), want[0]);
            for (int c = 1; c < 5; ++c) {
                const QJsonObject cell = sheet::cell(x, r + 2, c);
                QCOMPARE(cell.value("t").toString(), QString("s"));
                QCOMPARE(cell.value("v").toString(), want[c]);
                QVERIFY(!cell.value("bold").toBool());
            }
            for (int c = 5; c < 11; ++c) {
                const QJsonObject cell = sheet::cell(x, r + 2, c);
                if (want[c].isEmpty()) {
                    QVERIFY2(cell.value("v").isNull(), qPrintable(want.join('|')));
                    continue;
                }
                QCOMPARE(cell.value("t").toString(), QString("n"));
                QCOMPARE(cell.value("v").toDouble(), want[c].toDouble());
                QCOMPARE(cell.value("fmt").toString(), QString("0.00"));
            }
        }
        const int last = 2 + kTrickyRows.size();
        QCOMPARE(sheet::cell(x, last, 0).value("v").toString(), QString("总计"));
        QVERIFY(sheet::cell(x, last, 0).value("bold").toBool());
        const QStringList totals = p.shownTotals();
        QCOMPARE(totals, (QStringList{"101.1", "61.1", "40", "35.3", "35.5", "-0.2"}));
        for (int i = 0; i < 6; ++i) {
            const QJsonObject cell = sheet::cell(x, last, 5 + i);
            QCOMPARE(cell.value("t").toString(), QString("n"));
            QCOMPARE(cell.value("v").toDouble(), totals[i].toDouble());
            QCOMPARE(cell.value("fmt").toString(), QString("0.00"));
            QVERIFY(cell.value("bold").toBool());
        }
        for (int c = 1; c < 5; ++c)
            QVERIFY(sheet::cell(x, last, c).value("v").isNull());

        // Widths fit: the long formula text, the Chinese titles; 类别 stays narrow.
        const QJsonArray widths = x.value("widths").toArray();
        QCOMPARE(widths.size(), 11);
        QVERIFY2(widths[3].toDouble() >= kFormula.size() + 2, qPrintable(QString::number(widths[3].toDouble())));
        QVERIFY(widths[3].toDouble() <= 62);
        for (int c = 0; c < 11; ++c)
            QVERIFY2(widths[c].toDouble() >= 2 * kBookTitles[c].size(), qPrintable(kBookTitles[c]));
        QVERIFY(widths[1].toDouble() < widths[4].toDouble());
        QVERIFY(!QString::fromUtf8(QJsonDocument(rows).toJson()).contains("别的账本"));
        QCOMPARE(leftovers(p.out.path()), QStringList());
    }

    // The account-book export as CSV: BOM, CRLF, quotes and line breaks quoted, formulas
    // defused, amounts exactly as stored (a negative one stays a number), the totals as
    // shown.
    void csvBook()
    {
        Prog p;
        fillTricky(p);
        p.show();
        const QString file = p.printBookPage("book.csv", report::Output::Csv);
        QCOMPARE(msg::shown().size(), 0);
        QVERIFY(report::runs().value(0).finished);
        QVERIFY(report::runs().value(0).proposed.endsWith("/家庭 的明细收支记录.csv"));

        const QByteArray raw = contents(file);
        QVERIFY(raw.startsWith("\xEF\xBB\xBF" "编号,类别,日期,摘要,"));
        QVERIFY(raw.endsWith("\r\n"));
        const int records = 1 + kTrickyRows.size() + 1;
        QCOMPARE(raw.count("\r\n"), records);
        QCOMPARE(raw.count('\n'), records + 1);   // the one line break inside 房东\n老王
        QVERIFY(raw.contains("\"支付\"\"房租\"\"\""));

        const QJsonObject csv = sheet::readCsv(file);
        QVERIFY(csv.value("bom").toBool());
        QCOMPARE(sheet::rows(csv).size(), records);
        QCOMPARE(sheet::record(csv, 0), kBookTitles);
        for (int r = 0; r < kTrickyRows.size(); ++r) {
            QStringList want = kTrickyRows[r];
            for (int c = 3; c < 5; ++c)
                if (QStringLiteral("=+-@").contains(want[c].left(1)))
                    want[c].prepend(QLatin1Char('\''));
            QCOMPARE(sheet::record(csv, r + 1), want);
        }
        QCOMPARE(sheet::record(csv, 2).value(3), QString("'+86 退款"));
        QCOMPARE(sheet::record(csv, 2).value(8), QString("-0.20"));
        QCOMPARE(sheet::record(csv, 5).value(3), "'" + kFormula);
        QCOMPARE(sheet::record(csv, records - 1), QStringList({"总计", "", "", "", ""}) + p.shownTotals());
        QVERIFY(!raw.contains("别的账本"));
        QCOMPARE(leftovers(p.out.path()), QStringList());
    }

    // Only the rows the page lists, in its order; the totals stay the whole book's.
    void exportsTheListedRows_data()
    {
        QTest::addColumn<bool>("excel");
        QTest::addColumn<bool>("search");
        QTest::addColumn<QStringList>("bids");
        for (const bool excel : {true, false}) {
            const char *kind = excel ? "xlsx" : "csv";
            QTest::addRow("%s quick search 支出", kind) << excel << true << QStringList{"4", "2"};
            QTest::addRow("%s sorted by 日期", kind) << excel << false << QStringList{"2", "3", "1", "4"};
        }
    }
    void exportsTheListedRows()
    {
        QFETCH(bool, excel);
        QFETCH(bool, search);
        QFETCH(QStringList, bids);
        Prog p;
        p.fill();
        p.show();
        if (search) {
            QuickSearch *s = p.page()->quickSearch();
            QTest::mouseClick(p.page()->findChild<QToolButton *>("bsSkinSpeedButton7"), Qt::LeftButton);
            s->kindBox()->setCurrentIndex(s->kindBox()->findText("支出"));
            QTest::mouseClick(s->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
        } else {
            fixture::clickTitle(p.page()->grid(), 2);
        }
        QCOMPARE(fixture::listedBids(p.page()->grid()), bids);
        const QString file = p.printBookPage(excel ? "book.xlsx" : "book.csv",
                                             excel ? report::Output::Excel : report::Output::Csv);
        QCOMPARE(msg::shown().size(), 0);
        QCOMPARE(exportedBids(file, excel), bids);
        const int totalsRow = (excel ? 2 : 1) + int(bids.size());
        if (excel) {
            const QJsonObject x = sheet::readXlsx(file);
            QCOMPARE(sheet::rows(x).size(), totalsRow + 1);
            QCOMPARE(sheet::cell(x, totalsRow, 5).value("v").toDouble(), 100.1);
            QCOMPARE(sheet::cell(x, totalsRow, 8).value("v").toDouble(), 35.7);
        } else {
            const QJsonObject csv = sheet::readCsv(file);
            QCOMPARE(sheet::rows(csv).size(), totalsRow + 1);
            QCOMPARE(sheet::record(csv, totalsRow).value(5), QString("100.1"));
            QCOMPARE(sheet::record(csv, totalsRow).value(8), QString("35.7"));
        }
    }

    // A summary page's export: its own columns and rows, no totals.
    void summaryExport_data()
    {
        QTest::addColumn<bool>("excel");
        QTest::newRow("xlsx") << true;
        QTest::newRow("csv") << false;
    }
    void summaryExport()
    {
        QFETCH(bool, excel);
        Prog p;
        p.fill();
        p.show();
        auto rows = p.summaryRows("支出");
        const QString file = p.pdfPath(excel ? "summary.xlsx" : "summary.csv");
        report::setNextOutput(excel ? report::Output::Excel : report::Output::Csv, file);
        p.program->printing()->printSummary(p.main(), p.page()->bookName(), "支出", rows.get());
        QCOMPARE(msg::shown().size(), 0);
        QVERIFY(report::runs().value(0).proposed.endsWith(excel ? "/家庭 的支出汇总.xlsx" : "/家庭 的支出汇总.csv"));
        const QStringList titles{"编号", "类别", "日期", "摘要", "单位名称", "支出总额", "已付金额", "应付账款"};
        QCOMPARE(exportedBids(file, excel), (QStringList{"4", "2"}));
        if (excel) {
            const QJsonObject x = sheet::readXlsx(file);
            QCOMPARE(x.value("sheets").toArray(), QJsonArray{"家庭"});
            QCOMPARE(sheet::cell(x, 0, 0).value("v").toString(), QString("家庭 的支出汇总"));
            QCOMPARE(sheet::rows(x).size(), 4);
            QCOMPARE(sheet::rows(x).at(1).toArray().size(), titles.size());
            for (int c = 0; c < titles.size(); ++c)
                QCOMPARE(sheet::cell(x, 1, c).value("v").toString(), titles[c]);
            QCOMPARE(sheet::cell(x, 2, 5).value("v").toDouble(), 0.2);
            QVERIFY(!x.value("landscape").toBool());
        } else {
            const QJsonObject csv = sheet::readCsv(file);
            QCOMPARE(sheet::rows(csv).size(), 3);
            QCOMPARE(sheet::record(csv, 0), titles);
            QCOMPARE(sheet::record(csv, 2), (QStringList{"2", "支出", "2026- 1-15", "支付房租", "房东", "35.50", "35.50", "0.00"}));
        }
    }

    // An amount becomes a number only when its text is a plain decimal a spreadsheet holds
    // exactly; every other text stays as stored, in both exports.
    void amountsAreNumbersOnlyWhenExact()
    {
        struct Case {
            const char *stored;
            bool number;
            double value;
        };
        const Case cases[] = {
            {"100.00", true, 100},         {"-35.50", true, -35.5},   {"0.10", true, 0.1},
            {"9.95", true, 9.95},          {"123456789012.34", true, 123456789012.34},
            {"-0.00", true, 0},            {"1,000.00", false, 0},    {"12abc", false, 0},
            {"1234567890123456.78", false, 0},                        {" 5.00", false, 0},
            {"1e3", false, 0},             {"-5-3", false, 0},        {".50", false, 0},
        };
        Prog p;
        QHash<QString, const Case *> byBid;
        for (const Case &c : cases)
            byBid.insert(QString::number(p.add("收入", "2026- 3- 1", "摘要", "单位", c.stored, "0.00", "0.00")), &c);
        p.show();
        const QString xlsx = p.printBookPage("amounts.xlsx", report::Output::Excel);
        const QString csvFile = p.printBookPage("amounts.csv", report::Output::Csv);
        QCOMPARE(msg::shown().size(), 0);
        const QJsonObject x = sheet::readXlsx(xlsx);
        const QJsonObject csv = sheet::readCsv(csvFile);
        const int n = int(std::size(cases));
        QCOMPARE(sheet::rows(x).size(), 2 + n + 1);
        for (int r = 0; r < n; ++r) {
            const QJsonObject cell = sheet::cell(x, r + 2, 5);
            const Case *c = byBid.value(QString::number(sheet::cell(x, r + 2, 0).value("v").toInt()));
            QVERIFY(c);
            const QString stored = QString::fromUtf8(c->stored);
            if (c->number) {
                QCOMPARE(cell.value("t").toString(), QString("n"));
                QCOMPARE(cell.value("v").toDouble(), c->value);
                QCOMPARE(cell.value("fmt").toString(), QString("0.00"));
            } else {
                QCOMPARE(cell.value("t").toString(), QString("s"));
                QCOMPARE(cell.value("v").toString(), stored);
            }
            const QStringList record = sheet::record(csv, r + 1);
            QCOMPARE(record.value(5), stored.startsWith("-5") ? "'" + stored : stored);
            QCOMPARE(record.value(6), QString("0.00"));
        }
    }

    // A text longer than a workbook cell holds is never cut: the Excel export refuses and
    // says where; the CSV keeps it whole.
    void textTooLongForACell()
    {
        Prog p;
        const QString longText = QString(40000, QChar(0x6587));   // 文 × 40 000
        p.add("收入", "2026- 3- 1", "工资", "公司", "1.00", "1.00", "0.00");
        p.add("收入", "2026- 3- 2", longText, "公司", "2.00", "2.00", "0.00");
        p.show();
        const QString xlsx = p.printBookPage("long.xlsx", report::Output::Excel);
        QCOMPARE(msg::shown().size(), 1);
        QVERIFY2(msg::lastShown().text.contains("第 1 条 (编号 2) 的 \"摘要\": 文字超过 Excel 单元格 32767 个字符的上限"), qPrintable(msg::lastShown().text));
        QVERIFY(!QFile::exists(xlsx));
        const QString csv = p.printBookPage("long.csv", report::Output::Csv);
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(sheet::record(sheet::readCsv(csv), 1).value(3), longText);
    }

    void sheetNames_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("sheet");
        const QString thirty(30, QChar(0x8D26));   // 账 × 30
        QTest::newRow("plain") << "家庭" << "家庭";
        QTest::newRow("forbidden characters") << "收/支:2026[1]*?\\x" << "收_支_2026_1____x";
        QTest::newRow("apostrophes at the ends") << "'老王's'" << "老王's";
        QTest::newRow("only apostrophes") << "''" << "账本";
        QTest::newRow("empty") << "" << "账本";
        QTest::newRow("blanks") << "   " << "账本";
        QTest::newRow("control characters") << "a\tb\nc" << "abc";
        QTest::newRow("40 characters") << QString(40, QChar(0x5BB6)) << QString(31, QChar(0x5BB6));
        QTest::newRow("cut before a pair") << thirty + QString::fromUtf8("𠀀𠀀") << thirty;
        QTest::newRow("cut leaves an apostrophe") << thirty + "'xyz" << thirty;
        QTest::newRow("reserved") << "History" << "History_";
    }
    // The book's name cut to Excel's rules, and a workbook with it opens under that name.
    void sheetNames()
    {
        QFETCH(QString, book);
        QFETCH(QString, sheet);
        QCOMPARE(report::sheetName(book), sheet);
        QTemporaryDir out;
        const report::ExportTable table(shipped("ab.rav"), {{"zbm", book + " 的明细收支记录"}}, nullptr);
        QString why;
        QCOMPARE(int(report::writeXlsxTo(out.filePath("s.xlsx"), table, book, {}, &why)), int(report::ExportResult::Done));
        QCOMPARE(sheet::readXlsx(out.filePath("s.xlsx")).value("sheets").toArray(), QJsonArray{sheet});
    }

    void csvFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "工资" << "工资";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("comma") << "公司,北京" << "\"公司,北京\"";
        QTest::newRow("quotes") << "他说\"好\"" << "\"他说\"\"好\"\"\"";
        QTest::newRow("line break") << "两\n行" << "\"两\n行\"";
        QTest::newRow("CRLF") << "两\r\n行" << "\"两\r\n行\"";
        QTest::newRow("=") << "=1+1" << "'=1+1";
        QTest::newRow("= with quotes") << "=HYPERLINK(\"http://x\",\"y\")" << "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"";
        QTest::newRow("+") << "+86 123" << "'+86 123";
        QTest::newRow("-") << "-对方" << "'-对方";
        QTest::newRow("@") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("tab") << "\tcmd" << "'\tcmd";
        QTest::newRow("negative amount") << "-35.50" << "-35.50";
        QTest::newRow("signed number") << "+1" << "+1";
        QTest::newRow("minus alone") << "-" << "'-";
        QTest::newRow("sum of numbers") << "-2+3" << "'-2+3";
        QTest::newRow("= inside") << "a=b" << "a=b";
    }
    void csvFields()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(report::csvField(text), field);
    }

    // A file that cannot be written, whichever output: one message naming it, no file under
    // its name, no temporary file left, an existing file as it was.
    void unwritableTarget_data()
    {
        QTest::addColumn<int>("output");
        QTest::addColumn<QString>("where");
        QStringList places{"missing folder", "parent is a file", "target is a folder", "disk full"};
        if (::geteuid() != 0)   // root writes into read-only folders
            places << "read-only folder";
        for (const auto &[kind, output] : {std::pair{"xlsx", report::Output::Excel}, std::pair{"csv", report::Output::Csv},
                                           std::pair{"pdf", report::Output::Pdf}})
            for (const QString &place : places)
                QTest::addRow("%s %s", kind, qPrintable(place)) << int(output) << place;
    }
    void unwritableTarget()
    {
        QFETCH(int, output);
        QFETCH(QString, where);
        Prog p;
        p.fill();
        p.show();
        const QString name = output == int(report::Output::Excel) ? "book.xlsx"
                             : output == int(report::Output::Csv) ? "book.csv" : "book.pdf";
        const QString out = p.out.path();
        QString file = out + "/" + name;
        if (where == "missing folder") {
            file = out + "/missing/" + name;
        } else if (where == "parent is a file") {
            QFile plain(out + "/plain");
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.close();
            file = out + "/plain/" + name;
        } else if (where == "target is a folder") {
            QVERIFY(QDir(out).mkdir(name));
        } else if (where == "disk full") {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
            old.close();
        } else {
            QVERIFY(QDir(out).mkdir("ro"));
            QVERIFY(QFile::setPermissions(out + "/ro", QFile::ReadOwner | QFile::ExeOwner));
            file = out + "/ro/" + name;
        }
        report::setNextOutput(report::Output(output), file);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        if (where == "disk full") {
            rlimit small = before;
            small.rlim_cur = 64;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        QTest::mouseClick(p.page()->findChild<QToolButton *>("bsSkinSpeedButton9"), Qt::LeftButton);
        ::setrlimit(RLIMIT_FSIZE, &before);
        QFile::setPermissions(out + "/ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QVERIFY2(msg::lastShown().text.startsWith("无法写入文件 \"" + QDir::toNativeSeparators(file) + "\""),
                 qPrintable(msg::lastShown().text));
        QCOMPARE(report::runs().size(), 1);
        QVERIFY(!report::runs().first().finished);
        if (where == "disk full")
            QCOMPARE(contents(file), QByteArray("old content"));
        else if (where == "target is a folder")
            QVERIFY(QFileInfo(file).isDir());
        else
            QVERIFY(!QFile::exists(file));
        QCOMPARE(leftovers(out), QStringList());
        QCOMPARE(deletedButOpen(), QStringList());
    }

    // A new export gets the mode the user's umask gives a new file, although the program
    // runs with a stricter one for its data; a replaced file keeps its own mode.
    void exportModeFollowsTheUsersUmask_data()
    {
        QTest::addColumn<int>("userUmask");
        QTest::addColumn<int>("mode");
        QTest::newRow("022") << 022 << 0644;
        QTest::newRow("027") << 027 << 0640;
        QTest::newRow("077") << 077 << 0600;
    }
    void exportModeFollowsTheUsersUmask()
    {
        QFETCH(int, userUmask);
        QFETCH(int, mode);
        const mode_t before = ::umask(mode_t(userUmask));
        PrivateFiles::restrictUmask();   // as main() does
        fixture::Ledger ledger;
        ledger.addEntry("支出", "2026- 3- 1", "摘要", "单位", "1.00", "1.00", "0.00");
        Query rows(&ledger.dm->conn_jz_m, "rows");
        rows.setSql("select * from jz_ab order by bid desc");
        rows.open();
        QTemporaryDir out;
        const ReportProject zc = shipped("zc.rav");
        const QList<QPair<QString, QString>> params{{"zbm", "家庭"}};
        auto modeOf = [](const QString &path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
        };
        const QString csv = out.filePath("new.csv"), xlsx = out.filePath("new.xlsx");
        QVERIFY(report::writeCsv(csv, zc, params, &rows, nullptr));
        QVERIFY(report::writeXlsx(xlsx, zc, params, &rows, "家庭", nullptr));
        const int csvMode = modeOf(csv), xlsxMode = modeOf(xlsx);
        // A replaced file keeps the mode it had.
        QCOMPARE(::chmod(QFile::encodeName(csv).constData(), 0604), 0);
        QVERIFY(report::writeCsv(csv, zc, params, &rows, nullptr));
        const int replacedMode = modeOf(csv);
        ::umask(before);
        PrivateFiles::restrictUmask();
        ::umask(before);
        QCOMPARE(csvMode, mode);
        QCOMPARE(xlsxMode, mode);
        QCOMPARE(replacedMode, 0604);
    }

    // Over a few hundred rows a progress dialog shows; cancelling leaves an existing file
    // as it was, and a finished export replaces it, keeping its permissions.
    void cancelledExportKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("excel");
        QTest::newRow("xlsx") << true;
        QTest::newRow("csv") << false;
    }
    void cancelledExportKeepsTheOldFile()
    {
        QFETCH(bool, excel);
        fixture::Ledger ledger;
        {
            Connection::Transaction t(ledger.dm->conn_jz_m);
            for (int i = 0; i < report::kExportProgressRows + 300; ++i)
                ledger.addEntry("支出", "2026- 3- 1", QString("摘要%1").arg(i), "单位", "1.00", "1.00", "0.00");
            t.commit();
        }
        Query rows(&ledger.dm->conn_jz_m, "rows");
        rows.setSql("select * from jz_ab order by bid desc");
        rows.open();
        QTemporaryDir out;
        const QString name = excel ? "old.xlsx" : "old.csv";
        const QString file = out.filePath(name);
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

        QString caption;
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *progress = qobject_cast<QProgressDialog *>(w);
                if (progress && progress->isVisible()) {
                    caption = progress->windowTitle();
                    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
                    canceller.stop();
                }
            }
        });
        canceller.start(0);
        const ReportProject zc = shipped("zc.rav");
        const QList<QPair<QString, QString>> params{{"zbm", "家庭 的支出汇总"}};
        auto exportIt = [&] {
            return excel ? report::writeXlsx(file, zc, params, &rows, "家庭", nullptr)
                         : report::writeCsv(file, zc, params, &rows, nullptr);
        };
        QVERIFY(!exportIt());
        QCOMPARE(deletedButOpen(), QStringList());
        QCOMPARE(caption, QString(excel ? "导出Excel" : "导出CSV"));
        QCOMPARE(msg::shown().size(), 0);
        QCOMPARE(contents(file), QByteArray("old content"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});

        QVERIFY(exportIt());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
        QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::ReadGroup);
        QCOMPARE(exportedBids(file, excel).size(), rows.rowCount());
        QCOMPARE(exportedBids(file, excel).first(), rows.value(0, "bid"));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
