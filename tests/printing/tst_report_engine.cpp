// The report engine on its own: project files, the output choice, the font, and the page
// layout read back from the PDFs it writes.
#include <QtTest>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "../books/book_fixture.h"
#include "data/clock.h"
#include "pdf_text.h"
#include "printing/output_choice.h"
#include "printing/report_engine.h"
#include "printing/report_font.h"
#include "printing/report_project.h"
#include "ui/date_field.h"

namespace {

ReportProject project(const QString &text)
{
    ReportProject p;
    QString error;
    if (!ReportProject::parse(text, &p, &error))
        qWarning("%s", qPrintable(error));
    return p;
}

ReportProject shipped(const QString &name)
{
    ReportProject p;
    QString error;
    const QString path = QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print/") + name;
    if (!ReportProject::load(path, &p, &error))
        qWarning("%s", qPrintable(error));
    return p;
}

// Two columns over a portrait A4 page with 10 mm margins: 摘要 on the left 60 %, an
// amount on the right 40 %.
const char *const kTwoColumns = "title = zbm\n"
                                "page = A4 portrait\n"
                                "margins = 10 10 10 10\n"
                                "font = 9\n"
                                "column = b3 | 摘要 | 60 | left\n"
                                "column = b5 | 收入总额 | 40 | right\n";

struct Word {
    double xMin, xMax;
    QString text;
};

// Every word pdftotext finds on the first page, with its left and right edge in points.
QList<Word> words(const QString &file)
{
    const QString html = pdf::run(QStringLiteral("pdftotext"), {"-bbox", "-f", "1", "-l", "1", file, "-"});
    static const QRegularExpression re(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">([^<]*)</word>"));
    QList<Word> out;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out << Word{m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3)};
    }
    return out;
}

double mmToPt(double mm) { return mm * 72.0 / 25.4; }

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        report::setScripted(true);
        QVERIFY2(!pdf::tool("pdftotext").isEmpty(), "the tests read PDFs back with poppler-utils");
    }
    void init() { msg::clearShown(); }
    void cleanup() { Clock::reset(); }

    void projectMistakesNameTheirLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString col = "column = b3 | 摘要 | 10 | left\n";
        QTest::newRow("no equals") << col + "page A4 portrait\n" << "第 2 行: 缺少 \"=\"";
        QTest::newRow("unknown key") << "# c\n" + col + "colour = red\n" << "第 3 行: 未知的项 \"colour\"";
        QTest::newRow("page") << col + "page = A4 sideways\n" << "第 2 行: 页面格式";
        QTest::newRow("paper") << col + "page = A9 portrait\n" << "第 2 行: 页面格式";
        QTest::newRow("margins") << col + "margins = 1 2 3\n" << "第 2 行: 页边距";
        QTest::newRow("column cells") << "column = b3 | 摘要 | 10\n" << "第 1 行: 列应为";
        QTest::newRow("column width") << "column = b3 | 摘要 | 0 | left\n" << "第 1 行: 列宽";
        QTest::newRow("alignment") << "column = b3 | 摘要 | 10 | middle\n" << "第 1 行: 对齐";
        QTest::newRow("kind") << "column = b5 | 收入总额 | 10 | right | money\n" << "第 1 行: 类型";
        QTest::newRow("total") << col + "total = shouru\n" << "第 2 行: 合计项";
        QTest::newRow("font") << col + "font = 0\n" << "第 2 行: 字号";
        QTest::newRow("no columns") << "title = zbm\n" << "报表没有列";
        // Only finite numbers: nan passes every range test and made the columns vanish.
        QTest::newRow("nan width") << "column = b3 | 摘要 | nan | left\n" << "第 1 行: 列宽";
        QTest::newRow("inf width") << "column = b3 | 摘要 | inf | left\n" << "第 1 行: 列宽";
        QTest::newRow("nan font") << col + "font = nan\n" << "第 2 行: 字号";
        QTest::newRow("nan title font") << col + "titlefont = NaN\n" << "第 2 行: 字号";
        QTest::newRow("nan margin") << col + "margins = 10 nan 10 10\n" << "第 2 行: 页边距";
        QTest::newRow("margins leave no width")
            << col + "margins = 70 10 70 10\npage = A5 portrait\n" << "第 2 行: 页边距太大";
        QTest::newRow("margins leave no height, landscape")
            << col + "page = A4 landscape\n# m\nmargins = 10 100 10 100\n" << "第 4 行: 页边距太大";
    }

    // A bad value is told as a missing file is: which file, which line.
    void badValueNamesFileAndLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.rav");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("title = zbm\ncolumn = b3 | 摘要 | nan | left\n");
        f.close();
        ReportProject p;
        QString why;
        QVERIFY(!ReportProject::load(path, &p, &why));
        QVERIFY2(why.contains(QDir::toNativeSeparators(path)) && why.contains("第 2 行"), qPrintable(why));
    }
    void projectMistakesNameTheirLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        ReportProject p;
        QString why;
        QVERIFY(!ReportProject::parse(text, &p, &why));
        QVERIFY2(why.startsWith(error), qPrintable(why));
    }

    void projectIsRead()
    {
        const ReportProject p = project(QString::fromUtf8(kTwoColumns) + "total = shouru | 收入总计:\ntotalsperline = 2\n");
        QCOMPARE(p.titleParam, QString("zbm"));
        QCOMPARE(p.pageSize, QPageSize::A4);
        QCOMPARE(p.orientation, QPageLayout::Portrait);
        QCOMPARE(p.marginsMm, QMarginsF(10, 10, 10, 10));
        QCOMPARE(p.columns.size(), 2);
        QCOMPARE(p.columns[0].title, QString("摘要"));
        QCOMPARE(p.columns[1].field, QString("b5"));
        QCOMPARE(p.columns[1].align, Qt::Alignment(Qt::AlignRight));
        QCOMPARE(p.totals.size(), 1);
        QCOMPARE(p.totals[0].caption, QString("收入总计:"));
        QCOMPARE(p.totalsPerLine, 2);
        QCOMPARE(p.columns[1].kind, ReportColumn::Kind::Text);
        const ReportProject ab = shipped("ab.rav");
        QCOMPARE(ab.columns[0].kind, ReportColumn::Kind::Number);
        QCOMPARE(ab.columns[2].kind, ReportColumn::Kind::Text);
        for (int c = 5; c < 11; ++c) {
            QCOMPARE(ab.columns[c].kind, ReportColumn::Kind::Amount);
            QCOMPARE(ab.totals[c - 5].field, ab.columns[c].field);
        }
        QCOMPARE(shipped("ab.rav").orientation, QPageLayout::Landscape);
        QCOMPARE(shipped("ab.rav").columns.size(), 11);
        QCOMPARE(shipped("sr.rav").columns.size(), 8);
        QCOMPARE(shipped("zc.rav").columns.size(), 8);
    }

    // Looked for beside the executable, then under the install prefix; the message of a
    // missing file names the place beside the executable.
    void projectFolders()
    {
        ReportFiles::setFolders({});
        const QString beside = QCoreApplication::applicationDirPath() + "/print";
        const QStringList folders = ReportFiles::folders();
        QCOMPARE(folders.value(0), beside);
        QVERIFY(folders.size() >= 2);
        QVERIFY(folders.last().endsWith("/share/tallyrue/print"));
        QCOMPARE(ReportFiles::missingMessage("zc.rav"),
                 QString("The following reporting project does not exist:\n\"%1/zc.rav\"").arg(beside));

        QTemporaryDir a, b;
        QDir().mkpath(b.filePath("print"));
        QFile f(b.filePath("print/sr.rav"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kTwoColumns);
        f.close();
        ReportFiles::setFolders({a.filePath("print"), b.filePath("print")});
        QCOMPARE(ReportFiles::locate("sr.rav"), b.filePath("print/sr.rav"));
        QCOMPARE(ReportFiles::locate("ab.rav"), QString());
        ReportFiles::setFolders({});
    }

    // Qt's PDF writer names each glyph by the lowest code point that maps to it; a font
    // that draws a radical with an ideograph's glyph makes 支 read back as ⽀.
    void reportFontReadsBackAsPrinted()
    {
        const QString family = ReportFont::chineseFamily();
        const QRawFont chosen = QRawFont::fromFont(QFont(family), QFontDatabase::SimplifiedChinese);
        QCOMPARE(chosen.familyName(), family);
        QVERIFY2(ReportFont::mapsIdeographsBack(chosen), qPrintable(family));
        if (QFontDatabase::families().contains("Noto Sans CJK SC")) {
            const QRawFont noto = QRawFont::fromFont(QFont("Noto Sans CJK SC"), QFontDatabase::SimplifiedChinese);
            QVERIFY(!ReportFont::mapsIdeographsBack(noto));
        }
    }

    void outputChoice_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("output");
        QTest::newRow("预  览") << "previewButton" << int(report::Output::Preview);
        QTest::newRow("打  印") << "printButton" << int(report::Output::Print);
        QTest::newRow("导出PDF") << "pdfButton" << int(report::Output::Pdf);
        QTest::newRow("导出Excel") << "excelButton" << int(report::Output::Excel);
        QTest::newRow("导出CSV") << "csvButton" << int(report::Output::Csv);
        QTest::newRow("取  消") << "cancelButton" << int(report::Output::Cancel);
        QTest::newRow("Esc") << "" << int(report::Output::Cancel);
    }
    void outputChoice()
    {
        QFETCH(QString, button);
        QFETCH(int, output);
        Tshuchu dialog;
        QCOMPARE(dialog.windowTitle(), QString("打印"));
        bool wasModal = false;
        QString shownTitle;
        QStringList captions;   // left to right, as shown
        QTimer::singleShot(0, &dialog, [&] {
            wasModal = dialog.isModal() && dialog.isVisible();
            shownTitle = dialog.findChild<QLabel *>("reportTitle")->text();
            QList<QPushButton *> buttons = dialog.findChildren<QPushButton *>();
            std::sort(buttons.begin(), buttons.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
            for (QPushButton *b : buttons)
                if (b->isVisible() && b->width() >= b->sizeHint().width())
                    captions << b->text();
            if (auto *b = dialog.findChild<QPushButton *>(button))
                QTest::mouseClick(b, Qt::LeftButton);
            else
                QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(int(dialog.choose("家庭 的支出汇总")), output);
        QVERIFY(wasModal);
        QCOMPARE(shownTitle, QString("家庭 的支出汇总"));
        QCOMPARE(captions, (QStringList{"预  览", "打  印", "导出PDF", "导出Excel", "导出CSV", "取  消"}));
    }

    void proposedPdfFile()
    {
        testsupport::DataFolder home;   // HOME in a fresh folder
        const QString docs = QDir::homePath() + "/Documents";
        QVERIFY(QDir().mkpath(docs));
        QCOMPARE(report::proposedPdfFile("家庭 的明细收支记录"), docs + "/家庭 的明细收支记录.pdf");
        QCOMPARE(report::proposedPdfFile("收/支 的收入汇总"), docs + "/收_支 的收入汇总.pdf");
        QCOMPARE(report::proposedFile("家庭 的明细收支记录", "xlsx"), docs + "/家庭 的明细收支记录.xlsx");
        QCOMPARE(report::proposedFile("家庭 的支出汇总", "csv"), docs + "/家庭 的支出汇总.csv");
    }

    // Long texts wrap inside their cell: every word stays between its column's edges and
    // nothing is lost; amounts stand at the right edge.
    void longTextsWrapInsideTheirCell()
    {
        fixture::Ledger ledger;
        QString summary;
        for (int i = 1; i <= 40; ++i)
            summary += QString("第%1笔账目说明").arg(i);
        summary += " " + QString("ABCDEFGHIJ").repeated(12) + " 结束";
        ledger.addEntry("收入", "2026- 3- 1", summary, "公司", "12.34", "12.34", "0.00");
        Query rows(&ledger.dm->conn_jz_m, "rows");
        rows.setSql("select * from jz_ab");
        rows.open();
        QTemporaryDir out;
        const QString file = out.filePath("wrap.pdf");
        const QString title = "很长的报表标题" + QString("一二三四五六七八九十").repeated(8);
        QVERIFY(report::writePdf(file, project(kTwoColumns), {{"zbm", title}}, &rows, nullptr));

        const double left = mmToPt(10), right = mmToPt(210 - 10);
        const double split = left + (right - left) * 0.6;
        int inFirst = 0;
        bool amountSeen = false;
        for (const Word &w : words(file)) {
            QVERIFY2(w.xMin >= left - 0.5 && w.xMax <= right + 0.5, qPrintable(w.text));
            if (summary.contains(w.text)) {
                QVERIFY2(w.xMax <= split + 0.5, qPrintable(w.text));
                ++inFirst;
            }
            if (w.text == "12.34") {
                amountSeen = true;
                QVERIFY(std::abs(w.xMax - (right - mmToPt(1))) < 1.5);
            }
        }
        QVERIFY(inFirst > 3);
        QVERIFY(amountSeen);
        const QString text = pdf::squeezed(pdf::text(file, 0, false));
        QVERIFY(text.contains(pdf::squeezed(summary)));
        QVERIFY(text.contains(title));
    }

    // A row taller than a page goes on over the next pages; each page keeps its frame.
    void rowTallerThanAPageContinues()
    {
        fixture::Ledger ledger;
        QStringList lines;
        for (int i = 1; i <= 150; ++i)
            lines << QString("第%1行").arg(i);
        ledger.addEntry("收入", "2026- 3- 1", lines.join('\n'), "公司", "1.00", "1.00", "0.00");
        ledger.addEntry("收入", "2026- 3- 2", "下一行", "公司", "2.00", "2.00", "0.00");
        Query rows(&ledger.dm->conn_jz_m, "rows");
        rows.setSql("select * from jz_ab order by bid");
        rows.open();
        QTemporaryDir out;
        const QString file = out.filePath("tall.pdf");
        int pages = 0;
        QVERIFY(report::writePdf(file, project(kTwoColumns), {{"zbm", "长行"}}, &rows, nullptr, &pages));
        QVERIFY(pages >= 2);
        QCOMPARE(pdf::pages(file), pages);
        QString all;
        for (int page = 1; page <= pages; ++page) {
            const QString text = pdf::text(file, page);
            QVERIFY(text.contains("长行"));
            QVERIFY(text.contains("摘要"));
            QVERIFY(text.contains(QString("第 %1 页 / 共 %2 页").arg(page).arg(pages)));
            all += pdf::text(file, page, false);
        }
        // Every line once, in order, the rest of the row after it.
        QStringList read;
        static const QRegularExpression line("第(\\d+)行");
        for (auto it = line.globalMatch(all); it.hasNext();)
            read << "第" + it.next().captured(1) + "行";
        QCOMPARE(read, lines);
        QCOMPARE(all.count("1.00"), 1);
        QVERIFY(all.indexOf("下一行") > all.indexOf("第150行"));
    }

    // Over a few hundred rows a progress dialog shows; cancelling leaves an existing file
    // as it was, and a finished export replaces it.
    void cancelledExportKeepsTheOldFile()
    {
        fixture::Ledger ledger;
        {
            Connection::Transaction t(ledger.dm->conn_jz_m);
            for (int i = 0; i < ReportComponent::kProgressRows + 100; ++i)
                ledger.addEntry("支出", "2026- 3- 1", QString("摘要%1").arg(i), "单位", "1.00", "1.00", "0.00");
            t.commit();
        }
        Query rows(&ledger.dm->conn_jz_m, "rows");
        rows.setSql("select * from jz_ab order by bid desc");
        rows.open();
        QTemporaryDir out;
        const QString file = out.filePath("old.pdf");
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

        bool progressShown = false;
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *progress = qobject_cast<QProgressDialog *>(w);
                if (progress && progress->isVisible()) {
                    progressShown = progress->windowTitle() == "打印" && progress->isModal();
                    QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
                    canceller.stop();
                }
            }
        });
        canceller.start(0);
        const ReportProject sr = shipped("zc.rav");
        QVERIFY(!report::writePdf(file, sr, {{"zbm", "家庭 的支出汇总"}}, &rows, nullptr));
        QVERIFY(progressShown);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old content"));
        old.close();
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.pdf"});

        int pages = 0;
        Clock::set(QDateTime(QDate(2026, 12, 3), QTime(12, 0, 0)));
        QVERIFY(report::writePdf(file, sr, {{"zbm", "家庭 的支出汇总"}}, &rows, nullptr, &pages));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QVERIFY(old.read(5) == "%PDF-");
        old.close();
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.pdf"});
        QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::ReadGroup);

        // Every page carries the title, the date printed, the column titles and its number.
        const QString date = "打印日期: " + DateField::format(QDate(2026, 12, 3));
        QStringList listed;
        for (int page = 1; page <= pages; ++page) {
            const QString text = pdf::text(file, page);
            QVERIFY(text.contains("家庭 的支出汇总"));
            QVERIFY(text.contains(date));
            QVERIFY(text.contains("支出总额"));
            QVERIFY(text.contains(QString("第 %1 页 / 共 %2 页").arg(page).arg(pages)));
            listed += pdf::bids(text);
        }
        QCOMPARE(listed.size(), rows.rowCount());
        QCOMPARE(listed.first(), QString::number(rows.rowCount()));
        QCOMPARE(listed.last(), QString("1"));
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_report_engine.moc"
