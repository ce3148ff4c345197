// The three reports as the user prints them: the rows, titles and totals read back from the
// PDF the program writes.
#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>
#include "../books/book_fixture.h"
#include "pdf_text.h"
#include "print_fixture.h"
#include "app/main_window.h"
#include "app/online_check.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "books/title_sort.h"
#include "data/data_module.h"
#include "printing/report_engine.h"
#include "printing/report_printing.h"
#include "printing/report_project.h"
#include "ui/message_box.h"

namespace {

using printfix::Prog;

const QString kRefusal = QStringLiteral("此账本无收支记录,请先新增收入\\支出记录。");

QStringList paramNames(const report::Run &run)
{
    QStringList out;
    for (const auto &p : run.params)
        out << p.first;
    return out;
}

// Radicals that look like ideographs (U+2E80..U+2FDF) must never stand for them.
bool hasRadicals(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF)
            return true;
    return false;
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
        report::setScripted(true);
        QVERIFY2(!pdf::tool("pdftotext").isEmpty() && !pdf::tool("pdfinfo").isEmpty(),
                 "the tests read PDFs back with poppler-utils");
        ReportFiles::setFolders({QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print")});
    }
    void init()
    {
        msg::clearShown();
        report::clearRuns();
    }

    // The account-book report: title with its blank, parameters in order, rows in grid
    // order, the six totals, and Chinese that reads back as printed.
    void bookReport()
    {
        Prog p;
        p.fill();
        p.show();
        const QString file = p.printBookPage();
        QCOMPARE(msg::shown().size(), 0);
        QCOMPARE(report::runs().size(), 1);
        const report::Run run = report::runs().first();
        QCOMPARE(run.component, QString("Rv_mingxi"));
        QVERIFY(run.finished);
        QCOMPARE(paramNames(run), (QStringList{"zbm", "shouru", "yishou", "yingshou", "zhichu", "yifu", "yingfu"}));
        QCOMPARE(run.params[0].second, QString("家庭 的明细收支记录"));
        QStringList values;
        for (int i = 1; i < 7; ++i)
            values << run.params[i].second;
        QCOMPARE(values, p.shownTotals());
        QCOMPARE(values, (QStringList{"100.1", "60.1", "40", "35.7", "35.5", "0.2"}));

        const QString text = pdf::text(file);
        QVERIFY2(text.contains("家庭 的明细收支记录"), qPrintable(text));
        QCOMPARE(pdf::bids(text), fixture::listedBids(p.page()->grid()));
        QCOMPARE(pdf::bids(text), (QStringList{"4", "3", "2", "1"}));
        for (const char *title : {"编号", "类别", "日期", "摘要", "单位名称", "收入总额", "已收金额", "应收账款",
                                  "支出总额", "已付金额", "应付账款"})
            QVERIFY2(text.contains(QString::fromUtf8(title)), title);
        const char *const captions[] = {"收入总计:", "已收总计:", "应收总计:", "支出总计:", "已付总计:", "应付总计:"};
        for (int i = 0; i < 6; ++i)
            QVERIFY2(QRegularExpression(QString::fromUtf8(captions[i]) + "\\s*" + QRegularExpression::escape(values[i]))
                         .match(text).hasMatch(), captions[i]);
        QVERIFY(!text.contains("别的账本"));
        // 支 is U+652F, not the radical ⽀ drawn with the same glyph.
        QVERIFY(text.contains(QString::fromUtf8("支付房租")));
        QVERIFY(text.contains(QChar(0x652F)));
        QVERIFY(!hasRadicals(text));
        QVERIFY(text.contains(QString::fromUtf8("第 1 页 / 共 1 页")));
        // Eleven columns: A4 across.
        QCOMPARE(pdf::pageSize(file).toSize(), QSize(842, 595));
    }

    // The report prints what the grid lists at that moment, in its order; the totals stay
    // the whole book's.
    void printsTheListedRows_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("bids");
        QTest::newRow("quick search 支出") << 0 << QStringList{"4", "2"};
        QTest::newRow("sorted by 日期") << 1 << QStringList{"2", "3", "1", "4"};
        QTest::newRow("sorted by 日期 twice") << 2 << QStringList{"4", "1", "3", "2"};
    }
    void printsTheListedRows()
    {
        QFETCH(int, step);
        QFETCH(QStringList, bids);
        Prog p;
        p.fill();
        p.show();
        if (step == 0) {
            QuickSearch *s = p.page()->quickSearch();
            QTest::mouseClick(p.page()->findChild<QToolButton *>("bsSkinSpeedButton7"), Qt::LeftButton);
            s->kindBox()->setCurrentIndex(s->kindBox()->findText("支出"));
            QTest::mouseClick(s->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
        } else {
            for (int i = 0; i < step; ++i)
                fixture::clickTitle(p.page()->grid(), 2);
        }
        QCOMPARE(fixture::listedBids(p.page()->grid()), bids);
        const QString text = pdf::text(p.printBookPage());
        QCOMPARE(pdf::bids(text), bids);
        QVERIFY(QRegularExpression("收入总计:\\s*100\\.1").match(text).hasMatch());
        QVERIFY(QRegularExpression("支出总计:\\s*35\\.7").match(text).hasMatch());
    }

    void emptyListIsRefused_data()
    {
        QTest::addColumn<bool>("entries");
        QTest::newRow("book without entries") << false;
        QTest::newRow("search found nothing") << true;
    }
    void emptyListIsRefused()
    {
        QFETCH(bool, entries);
        Prog p;
        if (entries)
            p.add("收入", "2026- 3- 1", "工资", "公司", "1.00", "1.00", "0.00");
        p.show();
        if (entries) {
            QuickSearch *s = p.page()->quickSearch();
            p.dm().conn_jz_f.exec("insert into a1 (z1) values ('没有这样的摘要')");
            p.dm().Query_jz_a1->reopen();
            s->summaryBox()->setCurrentIndex(s->summaryBox()->findText("没有这样的摘要"));
            QTest::mouseClick(s->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
            QCOMPARE(p.page()->grid()->model()->rowCount(), 0);
        }
        const QString file = p.printBookPage();
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().text, kRefusal);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QVERIFY(report::runs().isEmpty());
        QVERIFY(!QFile::exists(file));
        report::setScripted(true);   // drop the unused answer
    }

    // No project file in any folder: the engine's message names the file beside the
    // executable, and nothing is printed.
    void missingProjectFile()
    {
        Prog p;
        p.fill();
        p.show();
        QTemporaryDir empty;
        const QString beside = empty.filePath("print");
        ReportFiles::setFolders({beside, empty.filePath("share/tallyrue/print")});
        const QString file = p.printBookPage();
        ReportFiles::setFolders({QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print")});
        report::setScripted(true);
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().text,
                 QString("The following reporting project does not exist:\n\"%1/ab.rav\"").arg(beside));
        QVERIFY(report::runs().isEmpty());
        QVERIFY(!QFile::exists(file));
    }

    // A summary report reads the page's own rows of its kind; the shared entry list stays.
    void summaryReport_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("bids");
        QTest::addColumn<QString>("amountTitle");
        QTest::addColumn<QString>("otherTitle");
        QTest::newRow("收入") << "收入" << "Rv_shouru" << "家庭 的收入汇总" << QStringList{"3", "1"} << "收入总额" << "支出总额";
        QTest::newRow("支出") << "支出" << "Rv_zhichu" << "家庭 的支出汇总" << QStringList{"4", "2"} << "支出总额" << "收入总额";
    }
    void summaryReport()
    {
        QFETCH(QString, kind);
        QFETCH(QString, component);
        QFETCH(QString, title);
        QFETCH(QStringList, bids);
        QFETCH(QString, amountTitle);
        QFETCH(QString, otherTitle);
        Prog p;
        p.fill();
        p.show();
        Query *entries = p.dm().Query_jz_ab;
        const QString sql = entries->sql();
        const QStringList listed = fixture::listedBids(p.page()->grid());
        auto rows = p.summaryRows(kind);
        const QString file = p.pdfPath("summary.pdf");
        report::setNextOutput(report::Output::Pdf, file);
        p.program->printing()->printSummary(p.main(), p.page()->bookName(), kind, rows.get());
        QCOMPARE(msg::shown().size(), 0);
        QCOMPARE(report::runs().size(), 1);
        QCOMPARE(report::runs().first().component, component);
        QCOMPARE(paramNames(report::runs().first()), QStringList{"zbm"});

        const QString text = pdf::text(file);
        QVERIFY2(text.contains(title), qPrintable(text));
        QCOMPARE(pdf::bids(text), bids);
        QVERIFY(text.contains(amountTitle));
        QVERIFY(!text.contains(otherTitle));
        QVERIFY(!text.contains("总计"));
        QVERIFY(!hasRadicals(text));
        QCOMPARE(pdf::pageSize(file).toSize(), QSize(595, 842));
        // The account-book page still lists the whole book.
        QCOMPARE(entries->sql(), sql);
        QCOMPARE(fixture::listedBids(p.page()->grid()), listed);
    }

    // The refusal looks at the summary page's rows, not at the shared entry list.
    void summaryOfAKindWithoutEntriesIsRefused()
    {
        Prog p;
        p.add("支出", "2026- 1-15", "房租", "房东", "35.50", "35.50", "0.00");
        p.show();
        auto rows = p.summaryRows("收入");
        QCOMPARE(rows->rowCount(), 0);
        QCOMPARE(p.dm().Query_jz_ab->rowCount(), 1);
        report::setNextOutput(report::Output::Pdf, p.pdfPath("summary.pdf"));
        p.program->printing()->printSummary(p.main(), p.page()->bookName(), "收入", rows.get());
        report::setScripted(true);
        QCOMPARE(msg::lastShown().text, kRefusal);
        QVERIFY(report::runs().isEmpty());
        QCOMPARE(p.dm().Query_jz_ab->rowCount(), 1);
        // The account-book page prints as before.
        QVERIFY(QFile::exists(p.printBookPage()));
    }

    // The preview lays out the same pages as the PDF.
    void previewShowsEveryPage()
    {
        Prog p;
        for (int i = 0; i < 90; ++i)
            p.add("收入", "2026- 3- 1", QString("摘要%1").arg(i), "公司", "1.00", "1.00", "0.00");
        p.show();
        report::setNextOutput(report::Output::Preview);
        QTest::mouseClick(p.page()->findChild<QToolButton *>("bsSkinSpeedButton9"), Qt::LeftButton);
        const QString file = p.printBookPage();
        QCOMPARE(report::runs().size(), 2);
        const report::Run preview = report::runs().first();
        QCOMPARE(preview.output, report::Output::Preview);
        QVERIFY(preview.finished);
        QVERIFY(preview.pages > 1);
        QCOMPARE(preview.pages, pdf::pages(file));
    }

    // Cancelling the choice or the file dialog prints nothing and changes nothing.
    void cancelledOutputPrintsNothing()
    {
        Prog p;
        p.fill();
        p.show();
        report::setNextOutput(report::Output::Cancel);
        report::setNextOutput(report::Output::Pdf, QString());
        auto *button = p.page()->findChild<QToolButton *>("bsSkinSpeedButton9");
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(report::runs().size(), 2);
        for (const report::Run &r : report::runs()) {
            QVERIFY(!r.finished);
            QCOMPARE(r.pages, 0);
        }
        QCOMPARE(msg::shown().size(), 0);
        QCOMPARE(QDir(p.out.path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
