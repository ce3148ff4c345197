#include <QtTest>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <functional>
#include "../printing/pdf_text.h"
#include "../printing/print_fixture.h"
#include "../printing/sheet_read.h"
#include "app/nav_bar.h"
#include "app/online_check.h"
#include "counterparties/counterparty_window.h"
#include "data/book_cache.h"
#include "data/counterparty_reader.h"
#include "printing/report_project.h"
#include "ui/date_field.h"
#include "ui/message_box.h"

using printfix::Prog;

namespace {

const QDate kCutoff(2026, 6, 30);

// Two books. Book 1 as of 2026-06-30: 甲公司 under three spellings, dated 0, 15, 20, 30 and 31
// days back and once after the cut-off; 乙商行 60, 61, 90 and 91 days back and on a date that
// is no date; 丙 with an outstanding that is not total minus settled and a negative expense;
// entries without a counterparty; 丁 settled in full; 戊 only after the cut-off. Book 12:
// one more entry of 甲公司.
void fill(Prog &p)
{
    p.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (12,'十二号','2026-1-1','','0')");
    p.add("收入", "2026- 6-30", "六月货款", "甲公司", "100.00", "40.00", "60.00");
    p.add("收入", "2026- 6-10", "预付", "甲公司", "1.00", "1.00", "0.00");
    p.add("收入", "2026- 5-31", "五月货款", " 甲公司 ", "50.00", "0.00", "50.00");
    p.add("收入", "2026- 5-30", "五月货款", "甲公司  ", "20.00", "0.00", "20.00");
    p.add("支出", "2026- 6-10", "采购", "甲公司", "30.00", "10.00", "20.00");
    p.add("收入", "2026- 6-15", "退货", "甲公司", "-5.50", "0.00", "-5.50");
    p.add("收入", "2026- 7- 1", "七月货款", "甲公司", "1000.00", "0.00", "1000.00");
    p.add("收入", "2026- 5- 1", "货款", "乙商行", "30.00", "0.00", "30.00");
    p.add("收入", "2026- 4-30", "货款", "乙商行", "40.00", "10.00", "30.00");
    p.add("收入", "2026- 4- 1", "货款", "乙商行", "10.00", "0.00", "10.00");
    p.add("收入", "2026- 3-31", "货款", "乙商行", "5.00", "0.00", "5.00");
    p.add("收入", "2026- 2-30", "货款", "乙商行", "7.00", "0.00", "7.00");
    p.add("收入", "2026- 6-25", "服务费", "丙", "100.00", "30.00", "50.00");
    p.add("支出", "2026- 6-20", "冲销", "丙", "-20.00", "-20.00", "0.00");
    p.add("收入", "2026- 6- 1", "零售", "", "8.00", "0.00", "8.00");
    p.add("支出", "2026- 6- 2", "杂费", "  ", "12.00", "2.00", "10.00");
    p.add("收入", "2026- 6- 5", "结清", "丁", "10.00", "10.00", "0.00");
    p.add("收入", "2026- 7- 5", "以后", "戊", "9.00", "0.00", "9.00");
    p.add("收入", "2026- 6- 1", "别的账本", "甲公司", "200.00", "0.00", "200.00", "12");
}

// The grid's rows as "cell|cell|...".
QStringList rowsOf(const DataGrid *grid)
{
    QStringList out;
    const QAbstractItemModel *m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        out << cells.join('|');
    }
    return out;
}

const QString kJia = "甲公司|165.50|41.00|124.50|30.00|10.00|20.00|104.50|20.00|0.00|0.00";
const QString kYi = "乙商行|92.00|10.00|82.00|0.00|0.00|0.00|0.00|30.00|40.00|12.00";
const QString kBing = "丙|100.00|30.00|50.00|-20.00|-20.00|0.00|50.00|0.00|0.00|0.00";
const QString kNone = "(未填)|8.00|0.00|8.00|12.00|2.00|10.00|8.00|0.00|0.00|0.00";
const QString kDing = "丁|10.00|10.00|0.00|0.00|0.00|0.00|0.00|0.00|0.00|0.00";

QToolButton *navItem(Prog &p)
{
    return p.main()->findChild<QToolButton *>("bsSkinButtonsBar1Sections2Items1");
}

// Opens the window from its navigation item, sets the cut-off, runs check while it is open.
void whileOpen(Prog &p, const std::function<void(Twanglai &)> &check)
{
    p.show();
    QTest::mouseClick(p.main()->findChild<QToolButton *>("bsSkinButtonsBar1Sections2"), Qt::LeftButton);
    QToolButton *item = navItem(p);
    QVERIFY(item && item->isVisible());
    bool ran = false;
    QTimer::singleShot(0, p.main(), [&] {
        Twanglai *w = p.main()->counterpartyWindow();
        // Closed however the checks end, or the modal window would wait for ever.
        struct Close {
            Twanglai *w;
            ~Close()
            {
                if (w)
                    w->reject();
            }
        } close{w};
        QVERIFY(w && w->isVisible() && w->isModal());
        w->cutoffField()->setDate(kCutoff);
        QTRY_VERIFY(!w->pending());
        check(*w);
        ran = !QTest::currentTestFailed();
    });
    QTest::mouseClick(item, Qt::LeftButton);
    QVERIFY(ran);
}

QString cell(const QJsonArray &rows, int r, int c) { return rows[r].toArray().at(c).toObject().value("v").toVariant().toString(); }

} // namespace

class TestCounterpartyWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
        report::setScripted(true);
        ReportFiles::setFolders({QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + QStringLiteral("/print")});
    }
    void init()
    {
        msg::clearShown();
        report::clearRuns();
        CounterpartyReader::setInlineLimit(20000);
    }

    // The item in "工 具", the window made on first use with the names it is known by.
    void openedFromItsItem()
    {
        Prog p;
        QCOMPARE(p.main()->findChild<QToolButton *>("bsSkinButtonsBar1Sections2")->text(), QString("工 具"));
        QCOMPARE(navItem(p)->text(), QString("往来对账"));
        QVERIFY(!p.main()->counterpartyWindow());
        whileOpen(p, [](Twanglai &w) {
            QCOMPARE(w.windowTitle(), QString("往来对账"));
            QCOMPARE(w.allBooksBox()->text(), QString("全部账本"));
            QVERIFY(!w.allBooksBox()->isChecked());
            QCOMPARE(w.hideZeroBox()->text(), QString("隐藏余额为零的单位"));
            QVERIFY(w.hideZeroBox()->isChecked());
            QCOMPARE(w.findChild<QPushButton *>("wanglai_print")->text(), QString("打  印"));
            QCOMPARE(w.findChild<QPushButton *>("wanglai_print_detail")->text(), QString("打印对账单"));
            for (const char *name : {"wanglai_all", "wanglai_date", "wanglai_hide_zero", "wanglai_grid", "wanglai_detail",
                                     "wanglai_from", "wanglai_to"})
                QVERIFY2(w.findChild<QWidget *>(name), name);
            QCOMPARE(w.summaryGrid()->model()->rowCount(), 0);   // an empty ledger
        });
        Twanglai *first = p.main()->counterpartyWindow();
        whileOpen(p, [first](Twanglai &w) { QCOMPARE(&w, first); });

        // Locked: the item does nothing.
        p.dm().conn_jz_u.exec("update jz_ub set ub1 = 'abc', ub2 = '1', ub4 = '1' where ub3 = '8'");
        p.dm().Query_jz_ub->reopen();
        p.main()->applyLoginGate();
        QVERIFY(!navItem(p)->isEnabled());
        bool opened = false;
        QTimer::singleShot(0, p.main(), [&] {
            if (first->isVisible()) {
                opened = true;
                first->reject();
            }
        });
        QTest::mouseClick(navItem(p), Qt::LeftButton);
        QTest::qWait(10);
        QVERIFY(!opened);
    }

    // Rows by receivable, blanks around a name ignored, the unnamed together, exact sums
    // as stored, the four buckets, the totals, the undated counted; hide-zero and all books.
    void summary()
    {
        Prog p;
        fill(p);
        // Book 1 is read from its rows in memory here (once the main window has painted);
        // the worker test reads the file.
        p.show();
        QTRY_VERIFY(BookCache::of(p.dm()).isCurrent("1"));
        whileOpen(p, [&](Twanglai &w) {
            QVERIFY(BookCache::of(p.dm()).isCurrent("1"));
            QVERIFY(w.reader()->lastSummary()->index->held);
            QCOMPARE(rowsOf(w.summaryGrid()), (QStringList{kJia, kYi, kBing, kNone}));
            QCOMPARE(rowsOf(w.totalsGrid()),
                     QStringList{"合计|365.50|81.00|264.50|22.00|-8.00|30.00|162.50|50.00|40.00|12.00"});
            QCOMPARE(w.statusLabel()->text(), QString("有 1 条记录的日期无法识别，已计入“90天以上”。"));

            QTest::mouseClick(w.hideZeroBox(), Qt::LeftButton);
            QCOMPARE(rowsOf(w.summaryGrid()), (QStringList{kJia, kYi, kBing, kNone, kDing}));
            QCOMPARE(rowsOf(w.totalsGrid()),
                     QStringList{"合计|375.50|91.00|264.50|22.00|-8.00|30.00|162.50|50.00|40.00|12.00"});

            // A title click sorts amounts as numbers: 8 before 50 before 82 before 124.5.
            QTest::mouseClick(w.summaryGrid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(w.summaryGrid()->columnViewportPosition(3) + 5, 5));
            QCOMPARE(fixture::column(w.summaryGrid(), 0), (QStringList{"丁", "(未填)", "丙", "乙商行", "甲公司"}));

            QTest::mouseClick(w.allBooksBox(), Qt::LeftButton);
            QTRY_VERIFY(!w.pending());
            QCOMPARE(rowsOf(w.summaryGrid()).first(),
                     QString("甲公司|365.50|41.00|324.50|30.00|10.00|20.00|304.50|20.00|0.00|0.00"));
            // The day after: 30 days become 31, and the entry of 1 July counts.
            w.cutoffField()->setDate(kCutoff.addDays(1));
            QTRY_VERIFY(!w.pending());
            QCOMPARE(rowsOf(w.summaryGrid()).first(),
                     QString("甲公司|1365.50|41.00|1324.50|30.00|10.00|20.00|1254.50|70.00|0.00|0.00"));
        });
    }

    // Enter in the cut-off field takes the date and prints nothing.
    void enterTakesTheDate()
    {
        Prog p;
        fill(p);
        whileOpen(p, [&](Twanglai &w) {
            QLineEdit *edit = w.cutoffField()->lineEdit();
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, "20260629");
            QTest::keyClick(edit, Qt::Key_Return);
            QTRY_VERIFY(!w.pending());
            QVERIFY(report::runs().isEmpty());
            QVERIFY(w.isVisible());
            // The 60.00 of 30 June no longer counts.
            QCOMPARE(fixture::column(w.summaryGrid(), 0).mid(0, 2), (QStringList{"乙商行", "甲公司"}));
            QCOMPARE(fixture::column(w.summaryGrid(), 3).at(1), QString("64.50"));
        });
    }

    // The statement: from the first entry to the cut-off by default, entries by date then
    // entry number, running balances; a later start gives the opening line.
    void statement()
    {
        Prog p;
        fill(p);
        whileOpen(p, [&](Twanglai &w) {
            QCOMPARE(w.statementParty(), QString("甲公司"));   // the top row
            QCOMPARE(w.fromField()->text(), QString("2026- 5-30"));
            QCOMPARE(w.toField()->text(), QString("2026- 6-30"));
            QCOMPARE(rowsOf(w.statementGrid()),
                     (QStringList{"2026- 5-30||期初余额|||||||0.00|0.00",
                                  "2026- 5-30|收入|五月货款|20.00|0.00|20.00||||20.00|0.00",
                                  "2026- 5-31|收入|五月货款|50.00|0.00|50.00||||70.00|0.00",
                                  "2026- 6-10|收入|预付|1.00|1.00|0.00||||70.00|0.00",
                                  "2026- 6-10|支出|采购||||30.00|10.00|20.00|70.00|20.00",
                                  "2026- 6-15|收入|退货|-5.50|0.00|-5.50||||64.50|20.00",
                                  "2026- 6-30|收入|六月货款|100.00|40.00|60.00||||124.50|20.00",
                                  "||本期合计|165.50|41.00|124.50|30.00|10.00|20.00|124.50|20.00"}));

            w.fromField()->setDate(QDate(2026, 6, 1));
            QTRY_VERIFY(!w.pending());
            const QStringList lines = rowsOf(w.statementGrid());
            QCOMPARE(lines.first(), QString("2026- 6- 1||期初余额|||||||70.00|0.00"));
            QCOMPARE(lines.size(), 6);
            QCOMPARE(lines.last(), QString("||本期合计|95.50|41.00|54.50|30.00|10.00|20.00|124.50|20.00"));

            // Another counterparty: the entry without a date leads, as the oldest.
            fixture::clickRow(w.summaryGrid(), 1);
            QTRY_VERIFY(!w.pending());
            QCOMPARE(w.statementParty(), QString("乙商行"));
            QCOMPARE(fixture::column(w.statementGrid(), 0),
                     (QStringList{"2026- 3-31", "2026- 2-30", "2026- 3-31", "2026- 4- 1", "2026- 4-30", "2026- 5- 1", ""}));
            QCOMPARE(fixture::column(w.statementGrid(), 9), (QStringList{"0.00", "7.00", "12.00", "22.00", "52.00", "82.00", "82.00"}));

            // The unnamed ones are one counterparty.
            fixture::clickRow(w.summaryGrid(), 3);
            QTRY_VERIFY(!w.pending());
            QCOMPARE(w.partyLabel()->text(), QString("(未填)"));
            QCOMPARE(fixture::column(w.statementGrid(), 2), (QStringList{"期初余额", "零售", "杂费", "本期合计"}));
        });
    }

    // A large ledger is read on a worker: "计算中…" and no figures until they are right,
    // and a change made meanwhile is in them.
    void readOffTheWindowThread()
    {
        Prog p;
        fill(p);
        CounterpartyReader::setInlineLimit(0);
        whileOpen(p, [&](Twanglai &w) {
            QCOMPARE(rowsOf(w.summaryGrid()), (QStringList{kJia, kYi, kBing, kNone}));
            w.cutoffField()->setDate(kCutoff.addDays(-1));
            QCOMPARE(w.statusLabel()->text(), Twanglai::pendingText());
            QCOMPARE(w.summaryGrid()->model()->rowCount(), 0);
            QCOMPARE(w.totalsGrid()->model()->rowCount(), 0);
            p.add("收入", "2026- 6- 1", "新增", "己", "500.00", "0.00", "500.00");
            QTRY_VERIFY(!w.pending());
            QCOMPARE(fixture::column(w.summaryGrid(), 0).first(), QString("己"));
            QCOMPARE(fixture::column(w.totalsGrid(), 3), QStringList{"704.50"});
            QCOMPARE(w.statementParty(), QString("甲公司"));
            QCOMPARE(fixture::column(w.statementGrid(), 10).last(), QString("20.00"));
            // Read from the file: the change left the rows in memory behind.
            QVERIFY(!w.reader()->lastSummary()->index->held);
        });
    }

    // Both reports through the output choice: titles, rows and totals read back from the PDF,
    // numbers from the workbook's cells.
    void printing()
    {
        Prog p;
        fill(p);
        whileOpen(p, [&](Twanglai &w) {
            const QString pdfFile = p.pdfPath("wanglai.pdf");
            report::setNextOutput(report::Output::Pdf, pdfFile);
            QTest::mouseClick(w.findChild<QPushButton *>("wanglai_print"), Qt::LeftButton);
            QCOMPARE(report::runs().size(), 1);
            QVERIFY(report::runs().last().finished);
            QCOMPARE(report::runs().last().params.first().second, QString("往来余额表（截止 2026- 6-30）"));
            const QString text = pdf::text(pdfFile);
            QVERIFY2(text.contains("往来余额表（截止 2026- 6-30）"), qPrintable(text));
            for (const QString &row : {kJia, kYi, kBing, kNone,
                                       QString("合计|365.50|81.00|264.50|22.00|-8.00|30.00|162.50|50.00|40.00|12.00")}) {
                QString pattern = QRegularExpression::escape(row);
                pattern.replace("\\|", "\\s+");
                QVERIFY2(QRegularExpression(pattern).match(text).hasMatch(), qPrintable(row));
            }

            const QString xlsx = p.pdfPath("wanglai.xlsx");
            report::setNextOutput(report::Output::Excel, xlsx);
            QTest::mouseClick(w.findChild<QPushButton *>("wanglai_print"), Qt::LeftButton);
            QVERIFY(report::runs().last().finished);
            const QJsonArray rows = sheet::rows(sheet::readXlsx(xlsx));
            QCOMPARE(rows.size(), 2 + 5);
            QCOMPARE(cell(rows, 1, 0), QString("单位名称"));
            QCOMPARE(cell(rows, 2, 0), QString("甲公司"));
            QCOMPARE(rows[2].toArray().at(3).toObject().value("t").toString(), QString("n"));
            QCOMPARE(rows[2].toArray().at(3).toObject().value("v").toDouble(), 124.5);
            QCOMPARE(cell(rows, 6, 0), QString("合计"));
            QCOMPARE(rows[6].toArray().at(10).toObject().value("v").toDouble(), 12.0);

            const QString statementFile = p.pdfPath("duizhang.pdf");
            report::setNextOutput(report::Output::Pdf, statementFile);
            QTest::mouseClick(w.findChild<QPushButton *>("wanglai_print_detail"), Qt::LeftButton);
            QVERIFY(report::runs().last().finished);
            QCOMPARE(report::runs().last().component, QString("Rv_duizhang"));
            const QString st = pdf::text(statementFile);
            QVERIFY2(st.contains("甲公司 对账单 2026- 5-30 至 2026- 6-30"), qPrintable(st));
            QVERIFY(QRegularExpression("期初余额\\s+0\\.00\\s+0\\.00").match(st).hasMatch());
            QVERIFY(QRegularExpression("退货\\s+-5\\.50\\s+0\\.00\\s+-5\\.50\\s+64\\.50\\s+20\\.00").match(st).hasMatch());
            QVERIFY(QRegularExpression("本期合计\\s+165\\.50\\s+41\\.00\\s+124\\.50\\s+30\\.00\\s+10\\.00\\s+20\\.00\\s+124\\.50\\s+20\\.00")
                        .match(st).hasMatch());
        });
    }
};

QTEST_MAIN(TestCounterpartyWindow)
#include "tst_counterparty_window.moc"
