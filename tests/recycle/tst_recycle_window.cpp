// The bin as the user meets it: entries, books and detail lines deleted through their own
// windows come back from the bin window exactly as they were, or go for good.
#include <QtTest>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <functional>

#include "../app/program_fixture.h"
#include "../books/book_fixture.h"
#include "books/switch_dialog.h"
#include "data/clock.h"
#include "data/recycle_bin.h"
#include "details/detail_window.h"
#include "recycle/recycle_window.h"

using programfixture::Run;

namespace {

QStringList rows(Connection &c, const QString &sql)
{
    Query q(&c, QStringLiteral("probe"));
    q.setSql(sql);
    q.open();
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q.columnCount(); ++col)
            cells << (q.isNull(r, col) ? QStringLiteral("<null>") : q.value(r, col));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

bool hasBinTables(Connection &c)
{
    return rows(c, "select count(*) from sqlite_master where name like 'jz_hs%'") != QStringList{"0"};
}

QStringList totals(TFr_zhangben *page)
{
    QStringList out;
    for (int i = 0; i < 6; ++i)
        out << page->totalLabel(i)->text();
    return out;
}

// Runs `drive` inside the bin window's modal loop (the window is made on the first click),
// then closes it with its own button.
class DriveBin : public QObject
{
public:
    explicit DriveBin(std::function<void(Thuishou *)> drive) : m_drive(std::move(drive))
    {
        qApp->installEventFilter(this);
    }
    bool ran = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !ran && watched->objectName() == QLatin1String("Thuishou")) {
            ran = true;
            auto *bin = static_cast<Thuishou *>(watched);
            QTimer::singleShot(0, bin, [this, bin] {
                m_drive(bin);
                if (bin->isVisible())
                    QTest::mouseClick(bin->findChild<QPushButton *>("huishou_close"), Qt::LeftButton);
            });
        }
        return false;
    }

private:
    std::function<void(Thuishou *)> m_drive;
};

QTableView *binGrid(Thuishou *bin) { return bin->findChild<QTableView *>("huishou_grid"); }

QStringList binRow(Thuishou *bin, int row)
{
    QStringList out;
    const QAbstractItemModel *m = binGrid(bin)->model();
    for (int c = 0; c < m->columnCount(); ++c)
        out << m->index(row, c).data().toString();
    return out;
}

void clickBinRow(Thuishou *bin, int row)
{
    QTableView *g = binGrid(bin);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 1)).center());
}

void clickBin(Thuishou *bin, const char *button) { QTest::mouseClick(bin->findChild<QPushButton *>(button), Qt::LeftButton); }

// Opens the bin from the navigation bar, as the user does.
void openBin(Run &r, std::function<void(Thuishou *)> drive, bool *ran = nullptr)
{
    DriveBin d(std::move(drive));
    r.openSection(2);
    r.clickAt(r.nav()->item(2, 2));
    if (ran)
        *ran = d.ran;
    QVERIFY(d.ran);
}

void showBookPage(Run &r) { r.clickAt(r.nav()->item(0, 2)); }

// Selects the entry with this number on the account-book page.
void selectEntry(Run &r, int bid)
{
    DataGrid *g = r.book()->grid();
    const int row = fixture::listedBids(g).indexOf(QString::number(bid));
    QVERIFY(row >= 0);
    fixture::clickRow(g, row);
    QCOMPARE(r.dm().Query_jz_ab->field("bid"), QString::number(bid));
}

// Deletes a book through the switch dialog.
void deleteBook(Run &r, const QString &key)
{
    Tqiehuan *switcher = r.program.switchDialog();
    fixture::DriveWhenShown drive(switcher, [&] {
        const QStringList keys = fixture::listedBids(switcher->grid());
        switcher->grid()->setCurrentIndex(switcher->grid()->model()->index(int(keys.indexOf(key)), 0));
        QTest::mouseClick(switcher->findChild<QToolButton *>("bsSkinSpeedButton3"), Qt::LeftButton);
    });
    auto *link = r.book()->findChild<QLabel *>("bsSkinStdLabel1");
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QVERIFY(drive.ran);
}

} // namespace

class TestRecycleWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }
    void cleanup() { Clock::reset(); }

    // The item sits in its own section below "系 统"; the window is made when first opened,
    // modal and resizable, and the bar is off while the program is locked.
    void windowAndItem()
    {
        Run r;
        QVERIFY(r.start());
        QCOMPARE(r.nav()->header(2)->text(), QString("工 具"));
        QCOMPARE(r.nav()->item(2, 2)->text(), QString("回收站"));
        QVERIFY(!r.w()->findChild<Thuishou *>());
        openBin(r, [](Thuishou *bin) {
            QCOMPARE(bin->windowTitle(), QString("回收站"));
            QVERIFY(bin->isModal());
            QVERIFY(bin->minimumSize() != bin->maximumSize());
            QStringList titles;
            for (int c = 0; c < binGrid(bin)->model()->columnCount(); ++c)
                titles << binGrid(bin)->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(titles.mid(0, 3), (QStringList{"类型", "删除时间", "账本"}));
            QCOMPARE(binGrid(bin)->model()->rowCount(), 0);
            QCOMPARE(bin->findChild<QPushButton *>("huishou_restore")->text(), QString("恢  复"));
            QCOMPARE(bin->findChild<QPushButton *>("huishou_purge")->text(), QString("彻底删除"));
            QCOMPARE(bin->findChild<QPushButton *>("huishou_close")->text(), QString("关  闭"));
            // An empty bin has nothing to put back.
            clickBin(bin, "huishou_restore");
            QCOMPARE(msg::lastShown().text, QString("回收站是空的。"));
        });
        QCOMPARE(r.w()->findChildren<Thuishou *>().size(), 1);
        // Opening and listing made no table: a file from before stays as it was.
        QVERIFY(!hasBinTables(r.dm().conn_jz_m));
        QVERIFY(!hasBinTables(r.dm().conn_jz_u));

        r.storeSettings("abc", "1", "1");
        r.clickAt(r.statusControl("bsSkinSpeedButton3"));
        QVERIFY(r.locked());
        QVERIFY(!r.nav()->item(2, 2)->isEnabled());
    }

    // An entry deleted on the page comes back with its number, every column and the
    // book's totals; its detail line stays put throughout.
    void entryDeleteAndRestore()
    {
        Run r;
        r.dm().conn_jz_m.exec("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values "
                              "('收入','2026-12- 1',' 货款 ',NULL,'100.10','60.00','40.10','1')");
        const int bid = int(r.dm().conn_jz_m.lastInsertId());
        const int other = r.addEntry("支出", "房租");
        r.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('x', :k)", {{":k", QString::number(bid)}});
        QVERIFY(r.start());
        showBookPage(r);
        const QString before = programfixture::fingerprint(r.dm());
        const QStringList totalsBefore = totals(r.book());

        Clock::set(QDateTime(QDate(2026, 12, 3), QTime(9, 5, 7)));
        selectEntry(r, bid);
        r.book()->findChild<QToolButton *>("bsSkinSpeedButton6")->click();
        QCOMPARE(msg::lastShown().caption, QString("删除确认"));
        QCOMPARE(msg::lastShown().text, QString("您确定要删除此记录吗?此操作不可恢复"));
        QCOMPARE(fixture::listedBids(r.book()->grid()), QStringList{QString::number(other)});
        QCOMPARE(totals(r.book()), (QStringList{"", "", "", "1", "1", "0"}));
        QCOMPARE(rows(r.dm().conn_jz_u, "select count(*) from jz_ua"), QStringList{"1"});

        openBin(r, [&](Thuishou *bin) {
            QCOMPARE(binGrid(bin)->model()->rowCount(), 1);
            QCOMPARE(binRow(bin, 0), (QStringList{"收支记录", "2026-12- 3 9:05:07", "默认账本",
                                                  "收入 2026-12- 1  货款  总额100.10"}));
            clickBinRow(bin, 0);
            clickBin(bin, "huishou_restore");
            QCOMPARE(binGrid(bin)->model()->rowCount(), 0);
        });
        QVERIFY(msg::lastShown().kind != msg::Kind::Error);
        QCOMPARE(programfixture::fingerprint(r.dm()), before);
        QCOMPARE(totals(r.book()), totalsBefore);
        QCOMPARE(fixture::listedBids(r.book()->grid()), (QStringList{QString::number(other), QString::number(bid)}));
        QCOMPARE(rows(r.dm().conn_jz_m, "select count(*) from jz_hs_ab"), QStringList{"0"});
        // The number stays the entry's: the next new entry gets a fresh one.
        QVERIFY(r.addEntry("收入", "新") > other);
    }

    // A book deleted in the switch dialog comes back with the entries that went with it;
    // the current book stays current.
    void bookDeleteAndRestore_data()
    {
        QTest::addColumn<bool>("current");
        QTest::newRow("another book") << false;
        QTest::newRow("the current book") << true;
    }
    void bookDeleteAndRestore()
    {
        QFETCH(bool, current);
        Run r;
        r.addBook(2, "旅行", current);
        r.dm().Query_jz_aa->reopen();   // as the new-book dialog leaves it
        const int a = r.addEntry("收入", "车费", "2");
        r.addEntry("支出", "住宿", "2");
        r.addEntry("支出", "门票", "2");
        r.addEntry("收入", "工资", "1");
        r.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('x', :k)", {{":k", QString::number(a)}});
        QVERIFY(r.start());
        showBookPage(r);
        const QStringList booksBefore = rows(r.dm().conn_jz_m, "select * from jz_aa order by aid");
        const QStringList entriesBefore = rows(r.dm().conn_jz_m, "select * from jz_ab order by bid");
        const QStringList detailsBefore = rows(r.dm().conn_jz_u, "select * from jz_ua order by uaid");

        deleteBook(r, "2");
        QCOMPARE(rows(r.dm().conn_jz_m, "select count(*) from jz_ab where b14 = '2'"), QStringList{"0"});
        QCOMPARE(r.book()->bookKey(), QString("1"));
        const QStringList totalsOfBook1 = totals(r.book());

        openBin(r, [&](Thuishou *bin) {
            QCOMPARE(binGrid(bin)->model()->rowCount(), 1);
            const QStringList row = binRow(bin, 0);
            QCOMPARE(row.value(0), QString("账本"));
            QCOMPARE(row.value(2), QString("旅行"));
            QCOMPARE(row.value(3), QString("旅行，连同 3 条收支记录"));
            clickBinRow(bin, 0);
            clickBin(bin, "huishou_restore");
            QCOMPARE(binGrid(bin)->model()->rowCount(), 0);
        });
        QVERIFY(msg::lastShown().kind != msg::Kind::Error);
        QStringList booksAfter = booksBefore;
        if (current) {
            // Exactly one book is current: the one the delete handed over to.
            booksAfter.replaceInStrings(QRegularExpression("^1\\|(.*)\\|0$"), "1|\\1|1");
            booksAfter.replaceInStrings(QRegularExpression("^2\\|(.*)\\|1$"), "2|\\1|0");
        }
        QCOMPARE(rows(r.dm().conn_jz_m, "select * from jz_aa order by aid"), booksAfter);
        QCOMPARE(rows(r.dm().conn_jz_m, "select * from jz_ab order by bid"), entriesBefore);
        QCOMPARE(rows(r.dm().conn_jz_u, "select * from jz_ua order by uaid"), detailsBefore);
        QCOMPARE(fixture::listedBids(r.program.switchDialog()->grid()), (QStringList{"2", "1"}));
        QCOMPARE(r.book()->bookKey(), QString("1"));
        QCOMPARE(totals(r.book()), totalsOfBook1);
    }

    // A detail line deleted in the detail window comes back there.
    void detailDeleteAndRestore()
    {
        Run r;
        const int bid = r.addEntry("收入", "货款");
        for (const char *category : {"运费", "包装"})
            r.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6) values (:a,'2026-12- 2','摘 要',NULL,'30.5',:f)",
                                  {{":a", QString::fromUtf8(category)}, {":f", QString::number(bid)}});
        QVERIFY(r.start());
        showBookPage(r);
        const QString before = programfixture::fingerprint(r.dm());
        Tmingxi *details = r.program.detailWindow();
        auto openDetails = [&](std::function<void()> drive) {
            fixture::DriveWhenShown d(details, std::move(drive));
            selectEntry(r, bid);
            r.book()->findChild<QToolButton *>("bsSkinSpeedButton12")->click();
            QVERIFY(d.ran);
        };
        openDetails([&] {
            fixture::clickRow(details->grid(), 1);   // 运费, the older line
            details->findChild<QToolButton *>("bsSkinSpeedButton3")->click();
            QCOMPARE(fixture::column(details->grid(), 0), QStringList{"包装"});
        });
        openBin(r, [&](Thuishou *bin) {
            QCOMPARE(binRow(bin, 0).mid(2), (QStringList{"默认账本", QStringLiteral("编号%1的明细 摘 要 金额30.5").arg(bid)}));
            QCOMPARE(binRow(bin, 0).value(0), QString("明细"));
            clickBin(bin, "huishou_restore");
        });
        QCOMPARE(programfixture::fingerprint(r.dm()), before);
        openDetails([&] { QCOMPARE(fixture::column(details->grid(), 0), (QStringList{"包装", "运费"})); });
    }

    // "彻底删除" asks first; OK removes the item for good, Cancel keeps it.
    void purge_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("ok") << int(QMessageBox::Ok);
        QTest::newRow("cancel") << int(QMessageBox::Cancel);
    }
    void purge()
    {
        QFETCH(int, answer);
        Run r;
        const int bid = r.addEntry("收入", "货款");
        QVERIFY(r.start());
        showBookPage(r);
        selectEntry(r, bid);
        r.book()->findChild<QToolButton *>("bsSkinSpeedButton6")->click();
        const QString afterDelete = programfixture::fingerprint(r.dm());
        openBin(r, [&](Thuishou *bin) {
            msg::setNextAnswer(QMessageBox::StandardButton(answer));
            clickBin(bin, "huishou_purge");
            QCOMPARE(msg::lastShown().kind, msg::Kind::Question);
            QCOMPARE(msg::lastShown().caption, QString("删除确认"));
            QCOMPARE(binGrid(bin)->model()->rowCount(), answer == QMessageBox::Ok ? 0 : 1);
        });
        const QString kept = answer == QMessageBox::Ok ? "0" : "1";
        QCOMPARE(rows(r.dm().conn_jz_m, "select count(*) from jz_hs"), QStringList{kept});
        QCOMPARE(rows(r.dm().conn_jz_m, "select count(*) from jz_hs_ab"), QStringList{kept});
        QCOMPARE(programfixture::fingerprint(r.dm()), afterDelete);
    }

    // An entry of a deleted book waits for its book: the refusal names the book and the
    // bin shows the book's row; once the book is back, so is the entry.
    void entryOfDeletedBookWaitsForItsBook()
    {
        Run r;
        r.addBook(2, "旅行", true);
        r.dm().Query_jz_aa->reopen();
        const int first = r.addEntry("收入", "车费", "2");
        const int second = r.addEntry("支出", "住宿", "2");
        QVERIFY(r.start());
        showBookPage(r);
        const QStringList entriesBefore = rows(r.dm().conn_jz_m, "select * from jz_ab order by bid");
        Clock::set(QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0)));
        selectEntry(r, first);
        r.book()->findChild<QToolButton *>("bsSkinSpeedButton6")->click();
        Clock::set(QDateTime(QDate(2026, 12, 2), QTime(8, 0, 0)));
        deleteBook(r, "2");
        openBin(r, [&](Thuishou *bin) {
            QCOMPARE(binRow(bin, 0).value(0), QString("账本"));
            QCOMPARE(binRow(bin, 1).value(0), QString("收支记录"));
            clickBinRow(bin, 1);
            clickBin(bin, "huishou_restore");
            QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
            QVERIFY2(msg::lastShown().text.contains("“旅行”") && msg::lastShown().text.contains("2026-12- 2 8:00:00"),
                     qPrintable(msg::lastShown().text));
            QCOMPARE(binGrid(bin)->currentIndex().row(), 0);
            QCOMPARE(binGrid(bin)->model()->rowCount(), 2);
            clickBin(bin, "huishou_restore");
            QCOMPARE(binGrid(bin)->model()->rowCount(), 1);
            clickBinRow(bin, 0);
            clickBin(bin, "huishou_restore");
            QCOMPARE(binGrid(bin)->model()->rowCount(), 0);
        });
        QCOMPARE(rows(r.dm().conn_jz_m, "select * from jz_ab order by bid"), entriesBefore);
        Q_UNUSED(second);
    }

    // Items older than thirty days go at start, once the window has been painted.
    void oldItemsGoAtStart()
    {
        testsupport::DataFolder folder;
        const QDateTime t0(QDate(2026, 10, 1), QTime(12, 0, 0));
        {
            Program p(folder.path());
            TDataModule2 &dm = *p.data();
            for (int i = 0; i < 3; ++i)
                dm.conn_jz_m.exec("insert into jz_ab (b1,b14) values ('收入','1')");
            dm.conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('x','1')");
            BookRefresh::full(dm);
            // Deleted 31 days, 29 days and 31 days (a line) before the next start.
            for (int days : {0, 2}) {
                Clock::set(t0.addDays(days));
                RecycleBin::deleteCurrentEntry(dm);
            }
            Clock::set(t0);
            dm.Query_jz_ua->reopen();
            RecycleBin::deleteCurrentDetail(dm);
            QCOMPARE(RecycleBin::items(dm).size(), 3);
        }
        Clock::set(t0.addDays(31));
        Program p(folder.path());
        QCOMPARE(RecycleBin::items(*p.data()).size(), 3);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(p.mainWindow()));
        QTRY_COMPARE(RecycleBin::items(*p.data()).size(), 1);
        QCOMPARE(RecycleBin::items(*p.data()).value(0).deletedAt, QString("2026-10- 3 12:00:00"));
        QCOMPARE(rows(p.data()->conn_jz_m, "select count(*) from jz_hs_ab"), QStringList{"1"});
        QCOMPARE(rows(p.data()->conn_jz_u, "select count(*) from jz_hs_ua"), QStringList{"0"});
    }
};

QTEST_MAIN(TestRecycleWindow)
#include "tst_recycle_window.moc"
