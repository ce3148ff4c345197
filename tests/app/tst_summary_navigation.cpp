// The summary pages and the statistics window as the whole program reaches them.
#include <QtTest>
#include <QLabel>
#include <QToolButton>
#include "../books/book_fixture.h"
#include "app/main_window.h"
#include "app/online_check.h"
#include "app/program.h"
#include "books/account_book_page.h"
#include "summaries/statistics_window.h"
#include "summaries/summary_page.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

const QString kNoEntries = QStringLiteral("还没有任何支记录,请先新增收入\\支出记录。");

struct Run {
    testsupport::DataFolder folder;
    std::unique_ptr<Program> program;

    Run()
    {
        program = std::make_unique<Program>(folder.path());
        Tmain *w = program->mainWindow();
        w->show();
        if (!QTest::qWaitForWindowExposed(w))
            qWarning("main window not exposed");
        QTRY_VERIFY(w->showSequenceDone());
    }
    Tmain *main() { return program->mainWindow(); }
    TDataModule2 &dm() { return *program->data(); }
    void click(const QString &item)
    {
        auto *b = main()->findChild<QToolButton *>(item);
        QVERIFY2(b, qPrintable(item));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    int addEntry(const QString &kind, const QString &total, const QString &book)
    {
        const bool income = kind == QStringLiteral("收入");
        const QString sql = income
            ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14) values (:a,'2026-12- 1','摘','单',:e,:e,'0.00',:h)")
            : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14) values (:a,'2026-12- 1','摘','单',:e,:e,'0.00',:h)");
        dm().conn_jz_m.exec(sql, {{":a", kind}, {":e", total}, {":h", book}});
        return int(dm().conn_jz_m.lastInsertId());
    }
    void addBook(int aid)
    {
        dm().conn_jz_m.exec("insert into jz_aa (aid,a1,a2,a3,a6) values (:a,'另一个','2026-1-1','','0')",
                            {{":a", QString::number(aid)}});
    }
    // A switch as the switch dialog leaves it: another book flagged, the book refresh run.
    void switchTo(int aid)
    {
        dm().conn_jz_m.exec("update jz_aa set a6 = case when aid = :a then '1' else '0' end",
                            {{":a", QString::number(aid)}});
        BookRefresh::full(dm());
    }
};

} // namespace

class TestSummaryNavigation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
    }
    void init() { msg::clearShown(); }

    void navigationRunsThePageSetUp_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("incomePage");
        QTest::newRow("收入汇总") << "bsSkinButtonsBar1Sections0Items0" << true;
        QTest::newRow("支出汇总") << "bsSkinButtonsBar1Sections0Items1" << false;
    }
    void navigationRunsThePageSetUp()
    {
        QFETCH(QString, item);
        QFETCH(bool, incomePage);
        Run run;
        const QString kind = incomePage ? "收入" : "支出";
        run.addBook(2);
        const int first = run.addEntry(kind, "5.00", "1");
        const int second = run.addEntry(kind, "7.00", "1");
        const int inBook2 = run.addEntry(kind, "9.00", "2");
        run.addEntry(incomePage ? "支出" : "收入", "1.00", "1");
        SummaryPage *page = incomePage ? static_cast<SummaryPage *>(run.main()->incomePage())
                                       : run.main()->expensePage();

        // The list is built when the page is entered, not at start.
        QCOMPARE(page->pageQuery()->isOpen(), false);
        run.click(item);
        QVERIFY(page->isVisible());
        QCOMPARE(run.main()->currentPage(), page);
        QCOMPARE(listedBids(page->grid()), (QStringList{QString::number(second), QString::number(first)}));

        clickTitle(page->grid(), 0);
        QCOMPARE(page->grid()->title(0), QString("编号 ∧"));
        run.click(item);
        QCOMPARE(page->grid()->title(0), QString("编号"));
        QCOMPARE(listedBids(page->grid()), (QStringList{QString::number(second), QString::number(first)}));

        // After a switch, entering the page shows the new book's entries.
        run.switchTo(2);
        run.click(item);
        QCOMPARE(listedBids(page->grid()), QStringList{QString::number(inBook2)});
        QVERIFY(msg::shown().isEmpty());
    }

    // The refusal looks at the entry list only: other books' entries do not count.
    void statisticsOpensOverAllBooks()
    {
        Run run;
        auto *statistics = run.program->statistics();
        QVERIFY(statistics);
        int shown = 0;
        QString income, count;
        // Read while the window is open (after its show ran), then close it.
        struct Watcher : QObject {
            std::function<void()> whileOpen;
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::Show) {
                    auto *d = static_cast<QDialog *>(o);
                    QTimer::singleShot(0, d, [this, d] {
                        whileOpen();
                        d->reject();
                    });
                }
                return false;
            }
        } watcher;
        watcher.whileOpen = [&] {
            ++shown;
            count = statistics->valueLabel(0)->text();
            income = statistics->valueLabel(1)->text();
        };
        statistics->installEventFilter(&watcher);

        run.addBook(2);
        run.addBook(3);
        run.addEntry("收入", "50.00", "2");
        run.click("bsSkinButtonsBar1Sections0Items2");
        run.click("bsSkinButtonsBar1Sections0Items4");
        QCOMPARE(msg::lastShown().text, kNoEntries);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(shown, 0);

        run.addEntry("收入", "100.00", "1");
        run.click("bsSkinButtonsBar1Sections0Items2");
        msg::clearShown();
        run.click("bsSkinButtonsBar1Sections0Items4");
        QTRY_COMPARE(shown, 1);
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(count, QString("3"));
        QCOMPARE(income, QString("150.00"));

        run.switchTo(2);
        run.click("bsSkinButtonsBar1Sections0Items4");
        QTRY_COMPARE(shown, 2);
        QCOMPARE(income, QString("150.00"));
        statistics->removeEventFilter(&watcher);
    }
};

QTEST_MAIN(TestSummaryNavigation)
#include "tst_summary_navigation.moc"
