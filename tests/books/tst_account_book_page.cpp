#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include "book_fixture.h"
#include "books/account_book_page.h"
#include "books/quick_search.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/date_field.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {
// Runs a check when a dialog is shown, then closes it.
class AutoCloseWatcher : public QObject
{
public:
    AutoCloseWatcher(QDialog *dialog, std::function<void()> onShow)
        : QObject(dialog), m_onShow(std::move(onShow))
    {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            m_onShow();
            QTimer::singleShot(0, static_cast<QDialog *>(watched), &QDialog::reject);
        }
        return false;
    }

private:
    std::function<void()> m_onShow;
};

const QString kRefusal = QStringLiteral("此账本无收支记录,请先新增收入\\支出记录。");

struct Page {
    Ledger ledger;
    TFr_zhangben page;
    Page()
    {
        page.attachData(ledger.dm.get());
        page.resize(892, 605);
    }
    void refresh()
    {
        BookRefresh::full(*ledger.dm);
    }
    void show()
    {
        refresh();
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }
    TDataModule2 &dm() { return *ledger.dm; }
    DataGrid *grid() { return page.grid(); }
    void click(const char *button)
    {
        auto *b = page.findChild<QToolButton *>(QString::fromLatin1(button));
        QVERIFY2(b, button);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QStringList totals()
    {
        QStringList out;
        for (int i = 0; i < 6; ++i)
            out << page.totalLabel(i)->text();
        return out;
    }
    void searchNothing()
    {
        QuickSearch *s = page.quickSearch();
        ledger.addPhrase("a1", "没有这样的摘要");
        dm().Query_jz_a1->reopen();
        s->summaryBox()->setCurrentIndex(s->summaryBox()->findText("没有这样的摘要"));
        QTest::mouseClick(s->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
    }
};
} // namespace

class TestAccountBookPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void gridColumnsAndBookLabels()
    {
        Page p;
        p.ledger.addEntry("收入", "2026-12- 1", "工资", "公司", "100.00", "60.00", "40.00");
        p.show();
        QCOMPARE(p.page.findChild<QLabel *>("bsSkinDBText16")->text(), QString("默认账本"));
        QCOMPARE(p.page.bookKey(), QString("1"));
        QCOMPARE(p.page.findChild<QLabel *>("bsSkinDBText13")->text(), QString("1"));
        QVERIFY(p.page.findChild<QLabel *>("bsSkinDBText13")->isHidden());
        QStringList titles;
        QList<int> widths;
        for (int c = 0; c < p.grid()->model()->columnCount(); ++c) {
            titles << p.grid()->title(c);
            widths << p.grid()->columnWidth(c);
        }
        QCOMPARE(titles, TFr_zhangben::plainTitles());
        // The summary and counterparty columns take the room the page has beyond the others.
        const QList<int> given{50, 50, 75, 118, 160, 70, 70, 70, 70, 70, 72};
        for (int c = 0; c < given.size(); ++c)
            QVERIFY(c == 3 || c == 4 ? widths[c] >= given[c] : widths[c] == given[c]);
        // An income entry leaves the expense cells empty; amounts sit at the right.
        QCOMPARE(column(p.grid(), 5), QStringList{"100.00"});
        QCOMPARE(column(p.grid(), 8), QStringList{""});
        QVERIFY(Qt::Alignment(p.grid()->model()->index(0, 5).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignRight);
        QVERIFY(p.page.quickSearch()->isHidden());
    }

    // Book 1 and book 12 share no entry and no total, whichever is current.
    void booksNeverMix()
    {
        Page p;
        p.ledger.addBook(12, "十二");
        const int a = p.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "10.00", "10.00", "0.00", "1");
        const int b = p.ledger.addEntry("支出", "2026-12- 2", "二", "乙", "3.00", "1.00", "2.00", "1");
        const int c = p.ledger.addEntry("收入", "2026-12- 3", "三", "丙", "700.00", "0.00", "700.00", "12");
        p.show();
        QCOMPARE(listedBids(p.grid()), (QStringList{QString::number(b), QString::number(a)}));
        // The database's own sums, as it returns them.
        QCOMPARE(p.totals(), (QStringList{"10", "10", "0", "3", "1", "2"}));

        p.ledger.makeCurrent(12);
        p.refresh();
        QCOMPARE(p.page.bookKey(), QString("12"));
        QCOMPARE(p.page.findChild<QLabel *>("bsSkinDBText16")->text(), QString("十二"));
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(c)});
        // Sums over no values are NULL and show as nothing.
        QCOMPARE(p.totals(), (QStringList{"700", "0", "700", "", "", ""}));
    }

    void refusalsOnEmptyList_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("afterSearch");
        for (bool search : {false, true}) {
            const char *when = search ? "after empty search" : "empty book";
            for (const char *a : {"bsSkinSpeedButton12", "bsSkinSpeedButton5", "bsSkinSpeedButton6",
                                  "bsSkinSpeedButton9", "double click"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(a, when))) << QString(a) << search;
        }
    }
    void refusalsOnEmptyList()
    {
        QFETCH(QString, action);
        QFETCH(bool, afterSearch);
        Page p;
        if (afterSearch)
            p.ledger.addEntry("收入", "2026-12- 1", "工资", "公司", "100.00", "60.00", "40.00");
        p.show();
        int hooks = 0;
        p.page.setDetailHook([&](const QString &, const QString &, const QString &) { ++hooks; });
        p.page.setPrintHook([&] { ++hooks; });
        if (afterSearch) {
            p.searchNothing();
            QCOMPARE(p.grid()->model()->rowCount(), 0);
        }
        msg::clearShown();
        msg::setNextAnswer(QMessageBox::Ok);
        if (action == "double click")
            QTest::mouseDClick(p.grid()->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        else
            p.click(action.toLatin1().constData());
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(msg::lastShown().text, kRefusal);
        QCOMPARE(hooks, 0);
        QCOMPARE(p.ledger.entryCount(), afterSearch ? 1 : 0);
    }

    void detailAndPrintReachTheirWindows()
    {
        Page p;
        const int bid = p.ledger.addEntry("收入", "2026-12- 1", "工资", "公司", "100.00", "60.00", "40.00");
        p.show();
        QStringList seen;
        p.page.setDetailHook([&](const QString &, const QString &key, const QString &) { seen << "detail " + key; });
        p.page.setPrintHook([&] { seen << "print"; });
        p.click("bsSkinSpeedButton12");
        QTest::mouseDClick(p.grid()->viewport(), Qt::LeftButton, {},
                           p.grid()->visualRect(p.grid()->model()->index(0, 2)).center());
        p.click("bsSkinSpeedButton9");
        QCOMPARE(seen, (QStringList{"detail " + QString::number(bid), "detail " + QString::number(bid), "print"}));
        QVERIFY(msg::shown().isEmpty());
    }

    void deleteSelected_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("ok") << int(QMessageBox::Ok) << true;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    }
    void deleteSelected()
    {
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        Page p;
        const int a = p.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "10.00", "10.00", "0.00");
        const int b = p.ledger.addEntry("收入", "2026-12- 2", "二", "乙", "5.00", "5.00", "0.00");
        const int c = p.ledger.addEntry("支出", "2026-12- 3", "三", "丙", "3.00", "3.00", "0.00");
        // A detail line of the entry outlives it.
        p.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('x', :k)", {{":k", QString::number(b)}});
        p.show();
        clickRow(p.grid(), 1);
        QCOMPARE(p.dm().Query_jz_ab->field("bid"), QString::number(b));

        msg::setNextAnswer(QMessageBox::StandardButton(answer));
        p.click("bsSkinSpeedButton6");
        QCOMPARE(msg::lastShown().kind, msg::Kind::Question);
        QCOMPARE(msg::lastShown().caption, QString("删除确认"));
        QCOMPARE(msg::lastShown().text, QString("您确定要删除此记录吗?此操作不可恢复"));
        const QStringList all{QString::number(c), QString::number(b), QString::number(a)};
        if (deleted) {
            QCOMPARE(p.ledger.entryCount(), 2);
            QCOMPARE(listedBids(p.grid()), (QStringList{QString::number(c), QString::number(a)}));
            QCOMPARE(p.totals(), (QStringList{"10", "10", "0", "3", "3", "0"}));
        } else {
            QCOMPARE(p.ledger.entryCount(), 3);
            QCOMPARE(listedBids(p.grid()), all);
            QCOMPARE(p.totals(), (QStringList{"15", "15", "0", "3", "3", "0"}));
        }
        Query ua(&p.dm().conn_jz_u, "ua");
        ua.setSql("select count(*) from jz_ua");
        ua.open();
        QCOMPARE(ua.value(0, 0), QString("1"));
    }

    // Deleting from a search result lists the whole book again; the last entry leaves empty totals.
    void deleteFromSearchThenTheLastOne()
    {
        Page p;
        const int a = p.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "10.00", "10.00", "0.00");
        const int b = p.ledger.addEntry("支出", "2026-12- 2", "二", "乙", "5.00", "5.00", "0.00");
        p.show();
        QuickSearch *s = p.page.quickSearch();
        s->kindBox()->setCurrentIndex(s->kindBox()->findText("支出"));
        QTest::mouseClick(s->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(b)});
        p.click("bsSkinSpeedButton6");
        QCOMPARE(listedBids(p.grid()), QStringList{QString::number(a)});
        p.click("bsSkinSpeedButton6");
        QCOMPARE(p.grid()->model()->rowCount(), 0);
        QCOMPARE(p.totals(), QStringList(6, QString()));
    }

    // "刷新" lists the book again in entry order; the sort mark stays on its title.
    void refreshRestoresOrderKeepsMark()
    {
        Page p;
        const int a = p.ledger.addEntry("收入", "2026-12- 9", "一", "甲", "1.00", "1.00", "0.00");
        const int b = p.ledger.addEntry("收入", "2026-12- 1", "二", "乙", "2.00", "2.00", "0.00");
        const int c = p.ledger.addEntry("收入", "2026-12- 5", "三", "丙", "3.00", "3.00", "0.00");
        p.show();
        clickTitle(p.grid(), 2);
        QCOMPARE(listedBids(p.grid()), (QStringList{QString::number(b), QString::number(c), QString::number(a)}));
        p.ledger.addEntry("收入", "2026-12- 7", "四", "丁", "4.00", "4.00", "0.00");
        p.click("bsSkinSpeedButton4");
        QCOMPARE(listedBids(p.grid()),
                 (QStringList{QString::number(c + 1), QString::number(c), QString::number(b), QString::number(a)}));
        QCOMPARE(p.grid()->title(2), QString("日期 ∧"));
        QCOMPARE(p.totals().first(), QString("10"));
    }

    void wheelMovesOneRow_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("expected");
        QTest::newRow("towards user, middle") << 10 << -120 << 11;
        QTest::newRow("away, middle") << 10 << 120 << 9;
        QTest::newRow("large turn towards user") << 10 << -1200 << 11;
        QTest::newRow("large turn away") << 10 << 960 << 9;
        QTest::newRow("no movement moves nothing") << 10 << 0 << 10;
        QTest::newRow("first row, away") << 0 << 120 << 0;
        QTest::newRow("last row, towards user") << 39 << -120 << 39;
        QTest::newRow("first row, towards user") << 0 << -120 << 1;
    }
    void wheelMovesOneRow()
    {
        QFETCH(int, start);
        QFETCH(int, delta);
        QFETCH(int, expected);
        Page p;
        for (int i = 0; i < 40; ++i)
            p.ledger.addEntry("收入", "2026-12- 1", QString::number(i), "甲", "1.00", "1.00", "0.00");
        p.show();
        p.grid()->scrollTo(p.grid()->model()->index(start, 0));
        clickRow(p.grid(), start);
        QCOMPARE(p.dm().Query_jz_ab->currentRow(), start);
        const int scroll = p.grid()->verticalScrollBar()->value();
        wheel(p.grid(), delta);
        QCOMPARE(p.grid()->currentIndex().row(), expected);
        QCOMPARE(p.dm().Query_jz_ab->currentRow(), expected);
        // In the middle of a page the grid itself does not scroll.
        if (start == 10)
            QCOMPARE(p.grid()->verticalScrollBar()->value(), scroll);
    }

    // The new-entry dialogs get the current book's key, whichever book that is.
    void newEntryDialogsGetTheBookKey()
    {
        Page p;
        p.ledger.addBook(12, "十二");
        p.ledger.makeCurrent(12);
        p.show();
        Tnew_shouru income(p.ledger.dm.get());
        Tnew_zhichu expense(p.ledger.dm.get());
        p.page.setEntryDialogs(&income, &expense, nullptr, nullptr);
        for (EntryDialog *d : {static_cast<EntryDialog *>(&income), static_cast<EntryDialog *>(&expense)}) {
            d->setBookKey("stale");
            new CloseWhenShown(d);
        }
        p.click("bsSkinSpeedButton2");
        QCOMPARE(income.bookKey(), QString("12"));
        QCOMPARE(expense.bookKey(), QString("stale"));
        p.click("bsSkinSpeedButton3");
        QCOMPARE(expense.bookKey(), QString("12"));
    }

    void editOpensTheEditorOfTheSelectedKind()
    {
        Page p;
        const int expense = p.ledger.addEntry("支出", "2012- 8-27", "房租", "房东", "1500", "1000.00", "7.00");
        const int income = p.ledger.addEntry("收入", "2026-12-10", "工资", "公司", "100.00", "80.00", "20.00");
        p.ledger.addEntry("其他", "2026-12-10", "x", "y", "1", "1", "0");
        p.show();
        Tedit_shouru editIncome(p.ledger.dm.get());
        Tedit_zhichu editExpense(p.ledger.dm.get());
        p.page.setEntryDialogs(nullptr, nullptr, &editIncome, &editExpense);
        int incomeShown = 0, expenseShown = 0;
        QStringList seen;
        auto watch = [&seen](EntryDialog *d, int &count) {
            auto *closer = new AutoCloseWatcher(d, [d, &count, &seen] {
                ++count;
                seen = {d->entryNumber(), d->summaryText(), d->counterpartyText(),
                        d->findChild<DateField *>("bsSkinDateEdit1")->text(),
                        d->findChild<AmountField *>("bsSkinEdit1")->text(),
                        d->findChild<AmountField *>("bsSkinEdit2")->text(),
                        d->findChild<AmountField *>("bsSkinEdit3")->text()};
            });
            Q_UNUSED(closer);
        };
        watch(&editIncome, incomeShown);
        watch(&editExpense, expenseShown);

        clickRow(p.grid(), 0);             // the kind no editor is for: nothing, no message
        p.click("bsSkinSpeedButton5");
        QCOMPARE(incomeShown + expenseShown, 0);
        QVERIFY(msg::shown().isEmpty());

        clickRow(p.grid(), 1);
        p.click("bsSkinSpeedButton5");
        QCOMPARE(incomeShown, 1);
        QCOMPARE(seen, (QStringList{QString::number(income), "工资", "公司", "2026-12-10", "100.00", "80.00", "20.00"}));

        clickRow(p.grid(), 2);
        p.click("bsSkinSpeedButton5");
        QCOMPARE(expenseShown, 1);
        // Stored texts as stored, also an outstanding amount that is not total - settled.
        QCOMPARE(seen, (QStringList{QString::number(expense), "房租", "房东", "2012- 8-27", "1500", "1000.00", "7.00"}));
    }

    // The page's work without the mouse: the keys press the buttons they name in the tool
    // tips, Enter on a row opens its details, Tab leaves the grid.
    void keyboardPath()
    {
        Page p;
        const int a = p.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "10.00", "10.00", "0.00");
        const int b = p.ledger.addEntry("收入", "2026-12- 2", "二", "乙", "5.00", "5.00", "0.00");
        p.show();
        p.page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.page));
        Tedit_shouru editIncome(p.ledger.dm.get());
        p.page.setEntryDialogs(nullptr, nullptr, &editIncome, nullptr);
        QStringList seen;
        p.page.setDetailHook([&](const QString &, const QString &key, const QString &) { seen << "detail " + key; });
        p.page.setPrintHook([&] { seen << "print"; });
        new AutoCloseWatcher(&editIncome, [&] { seen << "edit " + editIncome.entryNumber(); });

        const struct { const char *button; const char *key; } tips[] = {
            {"bsSkinSpeedButton5", "F2"}, {"bsSkinSpeedButton6", "Del"}, {"bsSkinSpeedButton7", "Ctrl+F"},
            {"bsSkinSpeedButton4", "F5"}, {"bsSkinSpeedButton9", "Ctrl+P"}};
        for (const auto &t : tips) {
            const QString tip = p.page.findChild<QToolButton *>(t.button)->toolTip();
            QVERIFY2(tip.endsWith(QStringLiteral("(%1)").arg(QKeySequence(t.key).toString(QKeySequence::NativeText))),
                     qPrintable(tip));
        }

        DataGrid *grid = p.grid();
        grid->setFocus(Qt::TabFocusReason);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(p.dm().Query_jz_ab->field("bid"), QString::number(a));
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_F2);
        // Back from the editor, as the window manager gives the page the keys again.
        p.page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.page));
        QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(seen.join("|"), QStringList({"detail " + QString::number(a), "edit " + QString::number(a), "print"}).join("|"));

        msg::setNextAnswer(QMessageBox::Cancel);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(msg::lastShown().caption, QString("删除确认"));
        QCOMPARE(p.ledger.entryCount(), 2);

        // Ctrl+F: into the quick search's first box; a search that finds nothing, then F5.
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(p.page.quickSearch()->isVisible());
        QVERIFY(p.page.quickSearch()->kindBox()->hasFocus());
        p.searchNothing();
        QVERIFY(listedBids(grid).isEmpty());
        grid->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(grid, Qt::Key_F5);
        QCOMPARE(listedBids(grid), (QStringList{QString::number(b), QString::number(a)}));

        // Tab and Shift+Tab leave the grid for the page's other controls and come back.
        grid->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() && QApplication::focusWidget() != grid);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() != grid);

        // The current row shows whether the grid has the focus.
        const QImage without = grid->viewport()->grab().toImage();
        grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QVERIFY(grid->viewport()->grab().toImage() != without);
    }

    // Long amounts show whole; the summary and counterparty columns take the room left.
    void amountsShowWhole()
    {
        Page p;
        p.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "1234567890123.45", "1234567.00", "1234567890123.45");
        p.ledger.addEntry("支出", "2026-12- 2", "二", "乙", "9999999999999.99", "-9999999.99", "9999999999999.99");
        p.show();
        DataGrid *grid = p.grid();
        const QList<int> amounts{5, 6, 7, 8, 9, 10};
        QCOMPARE(elided(grid, amounts), QStringList());
        for (const QSize &size : {QSize(1024, 700), QSize(1366, 740)}) {
            p.page.resize(size);
            QCoreApplication::processEvents();
            int used = 0;
            for (int c = 0; c < 11; ++c)
                used += grid->columnWidth(c);
            QVERIFY2(used >= grid->viewport()->width(), qPrintable(QString::number(used)));
            QCOMPARE(elided(grid, amounts), QStringList());
        }
        QVERIFY(grid->columnWidth(3) > 118 && grid->columnWidth(4) > 160);
    }

    void hooksOfOtherWindows()
    {
        Page p;
        p.show();
        QStringList seen;
        p.page.setHelpHook([&] { seen << "help"; });
        p.page.setSwitchHook([&] { seen << "switch"; });
        p.page.setNewBookHook([&] { seen << "new book"; });
        p.click("bsSkinSpeedButton8");
        QLabel *link = p.page.findChild<QLabel *>("bsSkinStdLabel1");
        QCOMPARE(link->text(), QString("[切换]"));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link, Qt::LeftButton);
        p.click("bsSkinSpeedButton1");
        QCOMPARE(seen, (QStringList{"help", "switch", "new book"}));
        QVERIFY(msg::shown().isEmpty());
    }
};

QTEST_MAIN(TestAccountBookPage)
#include "tst_account_book_page.moc"
