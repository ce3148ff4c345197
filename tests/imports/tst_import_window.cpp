// The import window as a user drives it from the navigation bar, and the program's own
// exports imported back into an empty book.
#include <QtTest>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "../app/program_fixture.h"
#include "bill_fixture.h"
#include "data/book_refresh.h"
#include "data/import_store.h"
#include "imports/bill_reader.h"
#include "imports/import_window.h"
#include "printing/csv_export.h"
#include "printing/export_table.h"
#include "printing/report_project.h"
#include "printing/xlsx_export.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

using namespace billfixture;
using programfixture::Run;

namespace {

const QString kBill =
    "------------------------支付宝支付科技有限公司  电子客户回单------------------------\n"
    "交易时间,交易分类,交易对方,对方账号,商品说明,收/支,金额,收/付款方式,交易状态,交易订单号,商家订单号,备注,\n"
    "2025-11-02 10:00:00,服饰装扮,某服装店,/,衬衫,支出,100.00,花呗,交易成功,2025110201\t,T1\t,,\n"
    "2025-11-03 11:00:00,退款,某服装店,/,退款-衬衫,不计收支,30.00,花呗,退款成功,2025110201_9\t,T1\t,,\n"
    "2025-11-04 12:00:00,餐饮美食,某米线,/,米线,支出,18.50,余额,交易关闭,2025110402\t,T2\t,,\n"
    "2025-11-05 13:00:00,转账红包,某公司,/,劳务费,收入,\"1,000.00\",余额,交易成功,2025110503\t,T3\t,,\n"
    "2025-11-06 14:00:00,投资理财,某基金,/,余额宝-单次转入,不计收支,500.00,余额,交易成功,2025110604\t,T4\t,,\n";

ReportProject shipped(const QString &name)
{
    ReportProject p;
    QString error;
    ReportProject::load(QFileInfo(QStringLiteral(TALLYRUE_BINARY)).absolutePath() + "/print/" + name, &p, &error);
    return p;
}

QStringList entries(TDataModule2 &dm, const QString &book)
{
    Query q(&dm.conn_jz_m, "probe");
    q.setSql("select b1,b2,b3,b4,b5,b6,b7,b8,b9,b10 from jz_ab where b14 = :k order by bid");
    q.bind(":k", book);
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

QStringList totals(TDataModule2 &dm, const QString &book)
{
    Query q(&dm.conn_jz_m, "probe");
    q.setSql("select sum(b5),sum(b6),sum(b7),sum(b8),sum(b9),sum(b10) from jz_ab where b14 = :k");
    q.bind(":k", book);
    q.open();
    QStringList out;
    for (int c = 0; c < 6; ++c)
        out << q.value(0, c);
    return out;
}

int phraseCount(TDataModule2 &dm, const QString &table, const QString &text)
{
    Query q(&dm.conn_jz_f, "probe");
    q.setSql("select count(*) from " + table + " where z1 = :t");
    q.bind(":t", text);
    q.open();
    return q.value(0, 0).toInt();
}

// Runs script once the import window is up inside its modal loop, then closes it.
void whenImportShows(Run &run, std::function<void(Tdaoru *)> script, bool *ran)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&run, script, ran, poll] {
        auto *d = run.w()->findChild<Tdaoru *>("Tdaoru");
        if (!d || !d->isVisible()) {
            QTimer::singleShot(10, *poll);
            return;
        }
        script(d);
        *ran = true;
        d->findChild<QPushButton *>("daoru_close")->click();
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

class TestImportWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    // "导入账单" in a third section below the two the program has; off while locked.
    void navigationItem()
    {
        Run run;
        QVERIFY(run.start());
        QCOMPARE(run.nav()->header(0)->text(), QString("记 账"));
        QCOMPARE(run.nav()->header(1)->text(), QString("系 统"));
        QCOMPARE(run.nav()->header(2)->text(), QString("工 具"));
        QToolButton *item = run.nav()->item(2, 0);
        QVERIFY(item);
        QCOMPARE(item->text(), QString("导入账单"));
        QVERIFY(!run.w()->findChild<Tdaoru *>());   // made on first use

        run.storeSettings("abc", "1", "1");
        run.w()->applyLoginGate();
        QVERIFY(run.locked());
        QVERIFY(!item->isEnabled() || !run.nav()->isEnabled());
    }

    // An Alipay bill read, its rows ticked or not with the reason, imported into the current
    // book: the page shows them with the totals; the phrases come once each; twice stores
    // nothing; the last batch can be taken back.
    void alipayImport()
    {
        Run run;
        QVERIFY(run.start());
        QTemporaryDir dir;
        const QString path = dir.filePath("alipay.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(gbk(kBill));
        f.close();

        bool ran = false;
        QStringList reasons;
        QString format;
        whenImportShows(run, [&](Tdaoru *d) {
            d->findChild<QLineEdit *>("daoru_path")->setText(path);
            d->findChild<QPushButton *>("daoru_read")->click();
            format = d->findChild<QLabel *>("daoru_format")->text();
            auto *grid = d->findChild<QTableView *>("daoru_grid");
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                reasons << grid->model()->index(r, 6).data().toString();
            d->findChild<QPushButton *>("daoru_ok")->click();
        }, &ran);
        run.openSection(2);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
        QCOMPARE(format, QString("支付宝账单"));
        QCOMPARE(reasons, (QStringList{"", "", "交易关闭", "", "不计收支"}));
        QCOMPARE(msg::lastShown().text, QString("已导入 3 条记录。"));
        QCOMPARE(entries(run.dm(), "1"),
                 (QStringList{"支出|2025-11- 2|衬衫|某服装店|~|~|~|100.00|100.00|0.00",
                              "支出|2025-11- 3|退款-衬衫|某服装店|~|~|~|-30.00|-30.00|0.00",
                              "收入|2025-11- 5|劳务费|某公司|1000.00|1000.00|0.00|~|~|~"}));
        // The page: three rows, the totals of the book.
        QCOMPARE(run.book()->grid()->model()->rowCount(), 3);
        QCOMPARE(run.book()->totalLabel(0)->text(), QString("1000"));
        QCOMPARE(run.book()->totalLabel(3)->text(), QString("70"));
        QCOMPARE(phraseCount(run.dm(), "a2", "某服装店"), 1);
        QCOMPARE(phraseCount(run.dm(), "a1", "衬衫"), 1);
        QCOMPARE(phraseCount(run.dm(), "a1", "米线"), 0);

        // Again: every row a duplicate or unticked, nothing stored.
        ran = false;
        whenImportShows(run, [&](Tdaoru *d) {
            d->findChild<QLineEdit *>("daoru_path")->setText(path);
            d->findChild<QPushButton *>("daoru_read")->click();
            QCOMPARE(d->rowsModel()->tickedCount(), 0);
            QCOMPARE(d->rowsModel()->rows()[0].reason, QString("重复"));
            d->findChild<QPushButton *>("daoru_ok")->click();
        }, &ran);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
        QCOMPARE(msg::lastShown().text, QString("没有勾选要导入的行。"));
        QCOMPARE(entries(run.dm(), "1").size(), 3);

        // Undo refuses while one of the batch was changed since, then takes all back.
        run.dm().conn_jz_m.exec("update jz_ab set b3 = '衬衫（白）' where b3 = '衬衫'");
        ran = false;
        whenImportShows(run, [&](Tdaoru *d) { d->findChild<QPushButton *>("daoru_undo")->click(); }, &ran);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
        QVERIFY(msg::lastShown().text.startsWith("上次导入的记录中有 1 条在导入后被修改过，没有删除任何记录"));
        QCOMPARE(entries(run.dm(), "1").size(), 3);

        run.dm().conn_jz_m.exec("update jz_ab set b3 = '衬衫' where b3 = '衬衫（白）'");
        msg::clearShown();
        ran = false;
        whenImportShows(run, [&](Tdaoru *d) { d->findChild<QPushButton *>("daoru_undo")->click(); }, &ran);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
        QCOMPARE(msg::shown().first().caption, QString("删除确认"));
        QCOMPARE(msg::lastShown().text, QString("已删除上次导入的 3 条记录。"));
        QCOMPARE(entries(run.dm(), "1"), QStringList{});
        QCOMPARE(run.book()->grid()->model()->rowCount(), 0);
    }

    // A zip with a password: without it the window asks, with it the rows come.
    void zipPassword()
    {
        Run run;
        QVERIFY(run.start());
        QTemporaryDir dir;
        const QString path = dir.filePath("bill.zip");
        QVERIFY(writeZip(path, {{"alipay.csv", gbk(kBill)}}, ZIP_EM_AES_256, "778899"));
        bool ran = false;
        whenImportShows(run, [&](Tdaoru *d) {
            auto *pathField = d->findChild<QLineEdit *>("daoru_path");
            auto *password = d->findChild<QLineEdit *>("daoru_password");
            QVERIFY(!password->isEnabled());
            pathField->setText(path);
            Q_EMIT pathField->editingFinished();
            QVERIFY(password->isEnabled());
            d->findChild<QPushButton *>("daoru_read")->click();
            QVERIFY(msg::lastShown().text.contains("密码"));
            QCOMPARE(d->rowsModel()->rowCount(), 0);
            password->setText("000000");
            d->findChild<QPushButton *>("daoru_read")->click();
            QVERIFY(msg::lastShown().text.startsWith("解压密码不对"));
            password->setText("778899");
            d->findChild<QPushButton *>("daoru_read")->click();
            QCOMPARE(d->rowsModel()->rowCount(), 5);
        }, &ran);
        run.openSection(2);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
    }

    // A bank statement: the mapping step proposes columns; the user's choice maps again.
    void genericMapping()
    {
        Run run;
        QVERIFY(run.start());
        QTemporaryDir dir;
        const QString path = dir.filePath("bank.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(gbk("记账日期,货币,交易金额,联机余额,交易摘要,对手信息,客户摘要\n"
                    "2024-01-05,人民币,\"-1,000.00\",\"5,000.00\",转账,房东,房租\n"
                    "2024-01-06,人民币,200.00,\"5,200.00\",退款,某店,\n"));
        f.close();
        bool ran = false;
        whenImportShows(run, [&](Tdaoru *d) {
            d->findChild<QLineEdit *>("daoru_path")->setText(path);
            d->findChild<QPushButton *>("daoru_read")->click();
            QCOMPARE(d->findChild<QLabel *>("daoru_format")->text(), QString("通用表格"));
            QVERIFY(d->findChild<QGroupBox *>("daoru_mapping")->isVisible());
            QCOMPARE(d->findChild<QComboBox *>("daoru_map_date")->currentData().toInt(), 0);
            QCOMPARE(d->findChild<QComboBox *>("daoru_map_amount")->currentData().toInt(), 2);
            QCOMPARE(d->findChild<QComboBox *>("daoru_map_summary")->currentData().toInt(), 4);
            QCOMPARE(d->findChild<QComboBox *>("daoru_map_party")->currentData().toInt(), 5);
            QCOMPARE(d->rowsModel()->rows()[0].kind, QString("支出"));
            QCOMPARE(d->rowsModel()->rows()[0].total, QString("1000.00"));
            // The customer's own summary instead.
            auto *summary = d->findChild<QComboBox *>("daoru_map_summary");
            summary->setCurrentIndex(summary->findData(6));
            QCOMPARE(d->rowsModel()->rows()[0].summary, QString("房租"));
            d->findChild<QPushButton *>("daoru_ok")->click();
        }, &ran);
        run.openSection(2);
        run.clickAt(run.nav()->item(2, 0));
        QVERIFY(ran);
        QCOMPARE(entries(run.dm(), "1"), (QStringList{"支出|2024- 1- 5|房租|房东|~|~|~|1000.00|1000.00|0.00",
                                                      "收入|2024- 1- 6||某店|200.00|200.00|0.00|~|~|~"}));
    }

    // The program's own CSV and Excel exports come back into an empty book as the same
    // entries with the same totals.
    void ownExports_data()
    {
        QTest::addColumn<bool>("excel");
        QTest::newRow("csv") << false;
        QTest::newRow("excel") << true;
    }
    void ownExports()
    {
        QFETCH(bool, excel);
        testsupport::DataFolder folder;
        TDataModule2 dm(folder.path());
        struct E { const char *kind, *date, *summary, *party, *t, *s, *o; };
        const E rows[] = {
            {"收入", "2026- 5- 1", "_x0041_ 代码", "控制\x01符", "1.00", "1.00", "0.00"},
            {"支出", "2026- 4- 2", "+86 退款", "文具店", "-0.20", "0.00", "-0.20"},
            {"收入", "2026- 2- 9", "@SUM(A1)", "-对方", "0.10", "0.10", "0.00"},
            {"支出", "2026- 1-15", "支付\"房租\"", "房东\n老王", "35.50", "35.50", "0.00"},
            {"收入", "2026- 3- 1", "=1+2", "公司,北京", "100.00", "60.00", "40.00"},
            {"支出", "2026-12-31", "  两个空格", "单位  ", "1234567.89", "1000000.00", "234567.89"},
            {"收入", "2026- 3- 1", "=1+2", "公司,北京", "100.00", "60.00", "40.00"},   // a twin
        };
        for (const E &e : rows) {
            const bool income = QString(e.kind) == "收入";
            dm.conn_jz_m.exec(income ? "insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (:a,:b,:c,:d,:e,:f,:g,'1')"
                                     : "insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (:a,:b,:c,:d,:e,:f,:g,'1')",
                              {{":a", e.kind}, {":b", e.date}, {":c", e.summary}, {":d", e.party}, {":e", e.t}, {":f", e.s}, {":g", e.o}});
        }
        if (!excel)   // a total kept as typed: only the CSV keeps the text as stored
            dm.conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values ('收入','2026- 6- 1','x','y','12','12.00','0.00','1')");
        BookRefresh::full(dm);
        const QStringList t = totals(dm, "1");
        const QList<QPair<QString, QString>> params{{"zbm", "默认账本 的明细收支记录"}, {"shouru", t[0]}, {"yishou", t[1]},
                                                    {"yingshou", t[2]}, {"zhichu", t[3]}, {"yifu", t[4]}, {"yingfu", t[5]}};
        const report::ExportTable table(shipped("ab.rav"), params, dm.Query_jz_ab);
        QTemporaryDir dir;
        const QString file = dir.filePath(excel ? "book.xlsx" : "book.csv");
        QString why;
        const auto done = excel ? report::writeXlsxTo(file, table, "默认账本", {}, &why)
                                : report::writeCsvTo(file, table, {}, &why);
        QCOMPARE(int(done), int(report::ExportResult::Done));

        dm.conn_jz_m.exec("update jz_aa set a6 = '0'");
        dm.conn_jz_m.exec("insert into jz_aa (a1,a2,a3,a6) values ('空账本','2026-12-11','','1')");
        BookRefresh::full(dm);
        const QString key = BookRefresh::bookKey(dm);
        imports::Bill bill = imports::readBill(file, QString());
        QCOMPARE(bill.format, imports::BillFormat::Own);
        ImportStore store(dm.conn_jz_m);
        store.markDuplicates(imports::sourceKind(bill.format), key, bill.rows);
        store.store(key, imports::sourceKind(bill.format), bill.fileName, bill.rows);
        QStringList before = entries(dm, "1"), after = entries(dm, key);
        before.sort();
        after.sort();
        QCOMPARE(after, before);
        QCOMPARE(totals(dm, key), t);

        // Into the same book again: all duplicates.
        imports::Bill again = imports::readBill(file, QString());
        store.markDuplicates(imports::sourceKind(again.format), key, again.rows);
        for (const ImportRow &r : again.rows)
            QVERIFY(!r.ticked);
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_import_window.moc"
