#include <QtTest>
#include <QClipboard>
#include <QGroupBox>
#include <QScrollBar>
#include "book_dialogs_fixture.h"
#include "records/entry_dialog.h"

using namespace fixture;

namespace {

const QString kNoBooks = QStringLiteral("无账本，请先新建。");

// Book 1 (default, current) with two entries, books 2, 3 and 12 with entries of their own.
void fourBooks(Books &b)
{
    b.ledger.addBook(2, "二号");
    b.ledger.addBook(3, "三号");
    b.ledger.addBook(12, "十二号");
    b.ledger.addEntry("收入", "2026-12- 1", "一", "甲", "100.00", "60.00", "40.00", "1");
    b.ledger.addEntry("支出", "2026-12- 2", "一", "甲", "30.00", "30.00", "0.00", "1");
    b.ledger.addEntry("收入", "2026-12- 3", "二", "乙", "2.00", "2.00", "0.00", "2");
    b.ledger.addEntry("收入", "2026-12- 4", "三", "丙", "3.50", "3.00", "0.50", "3");
    b.ledger.addEntry("支出", "2026-12- 5", "三", "丙", "1.25", "1.00", "0.25", "3");
    b.ledger.addEntry("收入", "2026-12- 6", "十二", "丁", "12.00", "12.00", "0.00", "12");
}

QLineEdit *field(QDialog *d) { return d->findChild<QLineEdit *>("bsSkinEdit1"); }
QPushButton *saveButton(QDialog *d) { return d->findChild<QPushButton *>("bsSkinButton2"); }

} // namespace

class TestSwitchDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }
    void init() { msg::clearShown(); }

    void layoutAndGrid()
    {
        Books b;
        fourBooks(b);
        b.start();
        Tqiehuan &d = b.switcher;
        QCOMPARE(d.windowTitle(), QString("切换账本"));
        QVERIFY(b.openSwitch([&] {
            QCOMPARE(d.size(), QSize(470, 346));
            QCOMPARE(d.minimumSize(), d.maximumSize());
            QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QCOMPARE(d.findChild<QGroupBox *>()->title(), QString("账本列表"));
            const char *const buttons[][2] = {{"bsSkinSpeedButton1", "重命名"}, {"bsSkinSpeedButton2", "写备注"},
                                              {"bsSkinSpeedButton3", "删除账本"}, {"bsSkinButton1", "切  换"},
                                              {"bsSkinButton2", "取  消"}};
            for (const auto &bt : buttons) {
                auto *button = d.findChild<QAbstractButton *>(bt[0]);
                QVERIFY2(button && button->isVisible(), bt[0]);
                QCOMPARE(button->text(), QString::fromUtf8(bt[1]));
                // The caption fits its button.
                QVERIFY2(button->sizeHint().width() <= button->width(), bt[0]);
            }
            QVERIFY(d.findChild<QPushButton *>("bsSkinButton1")->isDefault());
            // The three speed buttons sit in a row, left to right, above the grid.
            const int x1 = d.findChild<QWidget *>("bsSkinSpeedButton1")->x();
            const int x2 = d.findChild<QWidget *>("bsSkinSpeedButton2")->x();
            const int x3 = d.findChild<QWidget *>("bsSkinSpeedButton3")->x();
            QVERIFY(x1 < x2 && x2 < x3);

            DataGrid *g = b.bookGrid();
            QStringList titles;
            for (int c = 0; c < g->model()->columnCount(); ++c)
                titles << g->title(c);
            QCOMPARE(titles, (QStringList{"账本编号", "账本名称", "备注", "创建日期"}));
            QCOMPARE(g->columnWidth(0), 60);
            QCOMPARE(g->columnWidth(2), 113);
            // The creation column is 110 wide or as wide as its texts need.
            QVERIFY(g->columnWidth(3) >= 110);
            for (const QString &created : column(g, 3))
                QVERIFY2(g->fontMetrics().horizontalAdvance(created) + 8 <= g->columnWidth(3), qPrintable(created));
            // The four columns fill the grid without a horizontal scroll bar.
            QVERIFY(!g->horizontalScrollBar()->isVisible());
            QCOMPARE(listedBids(g), (QStringList{"12", "3", "2", "1"}));
            QCOMPARE(column(g, 1), (QStringList{"十二号", "三号", "二号", "默认账本"}));
            QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
            QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
            // One notch towards the user: the next, older book; away: back.
            QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("12"));
            wheel(g, -120);
            QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("3"));
            wheel(g, -120);
            wheel(g, 120);
            QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("3"));
            QCOMPARE(g->verticalScrollBar()->value(), 0);
        }));
    }

    void smallDialogs_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("limit");
        QTest::newRow("rename") << "Tqiehuan_cmm" << "修改账本名称" << 70 << 20;
        QTest::newRow("remark") << "Tqiehuan_beizhu" << "为账本填写备注" << 68 << 40;
    }
    void smallDialogs()
    {
        QFETCH(QString, which);
        QFETCH(QString, caption);
        QFETCH(int, height);
        QFETCH(int, limit);
        Books b;
        QDialog *d = which == "Tqiehuan_cmm" ? static_cast<QDialog *>(&b.rename) : &b.remark;
        QCOMPARE(d->objectName(), which);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QCOMPARE(d->windowTitle(), caption);
        QCOMPARE(d->size(), QSize(363, height));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QVERIFY(!(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(field(d)->maxLength(), limit);
        QVERIFY(saveButton(d)->isDefault());
        QCOMPARE(saveButton(d)->text(), QString("保  存"));
        QVERIFY(d->findChild<QLabel *>("bsSkinStdLabel1")->isHidden());
        // No cancel button: the close box is the way out.
        QCOMPARE(d->findChildren<QPushButton *>().size(), 1);
        for (QWidget *w : {static_cast<QWidget *>(field(d)), static_cast<QWidget *>(saveButton(d))})
            QVERIFY(d->rect().contains(w->geometry()));
        // A whole name shows in the field.
        QVERIFY(field(d)->fontMetrics().horizontalAdvance(QString(20, QChar(u'账'))) <= field(d)->width());
    }

    // The header shows what the page shows, copied at each opening.
    void headerFollowsThePage()
    {
        Books b;
        fourBooks(b);
        b.start();
        QString header;
        b.openSwitch([&] { header = b.switcher.findChild<QLabel *>("bsSkinStdLabel5")->text(); });
        QCOMPARE(header, QString("默认账本"));
        b.ledger.makeCurrent(3);
        BookRefresh::full(b.dm());
        b.openSwitch([&] { header = b.switcher.findChild<QLabel *>("bsSkinStdLabel5")->text(); });
        QCOMPARE(header, QString("三号"));
    }

    void switchBooks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QStringList>("totals");
        QTest::newRow("book 3") << "3" << false << "三号" << 2
                                << QStringList{"3.5", "3", "0.5", "1.25", "1", "0.25"};
        QTest::newRow("book 3 by Enter") << "3" << true << "三号" << 2
                                         << QStringList{"3.5", "3", "0.5", "1.25", "1", "0.25"};
        QTest::newRow("book 12") << "12" << false << "十二号" << 1 << QStringList{"12", "12", "0", "", "", ""};
        QTest::newRow("already current") << "1" << false << "默认账本" << 2
                                         << QStringList{"100", "60", "40", "30", "30", "0"};
    }
    void switchBooks()
    {
        QFETCH(QString, target);
        QFETCH(bool, byEnter);
        QFETCH(QString, name);
        QFETCH(int, entries);
        QFETCH(QStringList, totals);
        Books b;
        fourBooks(b);
        b.start();
        const bool open = b.openSwitch([&] {
            b.selectBook(target);
            if (byEnter)
                QTest::keyClick(b.bookGrid(), Qt::Key_Return);
            else
                b.clickSwitcher("bsSkinButton1");
        });
        QVERIFY(!open);
        QCOMPARE(b.currentBooks(), QStringList{target});
        QCOMPARE(b.page.bookKey(), target);
        QCOMPARE(b.pageName(), name);
        QCOMPARE(b.page.grid()->model()->rowCount(), entries);
        for (int r = 0; r < entries; ++r)
            QCOMPARE(b.dm().Query_jz_ab->value(r, "b14"), target);
        QCOMPARE(b.totals(), totals);
        // The list was reloaded: the newest book is selected again.
        QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("12"));
        QVERIFY(msg::shown().isEmpty());
    }

    // A failing promotion undoes the demotion: the old book stays the one current book.
    void failedSwitchChangesNothing()
    {
        Books b;
        fourBooks(b);
        b.start();
        b.dm().conn_jz_m.exec("create trigger refuse before update of a6 on jz_aa when new.a6 = '1' "
                              "begin select raise(abort, '文件被锁定'); end");
        const bool open = b.openSwitch([&] {
            b.selectBook("3");
            b.clickSwitcher("bsSkinButton1");
        });
        QVERIFY(open);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QVERIFY(msg::lastShown().text.contains("文件被锁定"));
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        QCOMPARE(b.pageName(), QString("默认账本"));
        QCOMPARE(b.page.grid()->model()->rowCount(), 2);
    }

    // A book gone from the file since the list was read is not switched to.
    void vanishedBookIsNotSwitchedTo()
    {
        Books b;
        fourBooks(b);
        b.start();
        const bool open = b.openSwitch([&] {
            b.selectBook("2");
            b.dm().conn_jz_m.exec("delete from jz_aa where aid = 2");
            b.clickSwitcher("bsSkinButton1");
        });
        QVERIFY(open);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QCOMPARE(b.currentBooks(), QStringList{"1"});
    }

    void cancelAndCloseChangeNothing()
    {
        Books b;
        fourBooks(b);
        b.start();
        QVERIFY(!b.openSwitch([&] {
            b.selectBook("3");
            b.clickSwitcher("bsSkinButton2");
        }));
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        QCOMPARE(b.pageName(), QString("默认账本"));
        // Showing the dialog again does not reload the list: the selection stays.
        b.openSwitch([&] { QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("3")); });
    }

    void refusalsOnEmptyList_data()
    {
        QTest::addColumn<QString>("button");
        for (const char *name : {"bsSkinButton1", "bsSkinSpeedButton1", "bsSkinSpeedButton2", "bsSkinSpeedButton3"})
            QTest::newRow(name) << QString(name);
    }
    void refusalsOnEmptyList()
    {
        QFETCH(QString, button);
        Books b;
        b.start();
        b.dm().conn_jz_m.exec("delete from jz_aa");
        b.dm().Query_jz_aa->reopen();
        int smallShown = 0;
        DriveWhenShown rename(&b.rename, [&] { ++smallShown; });
        DriveWhenShown remark(&b.remark, [&] { ++smallShown; });
        const bool open = b.openSwitch([&] { b.clickSwitcher(button.toLatin1().constData()); });
        QVERIFY(open);
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(msg::lastShown().text, kNoBooks);
        QCOMPARE(smallShown, 0);
    }

    // Typed blanks are dropped, pasted text is taken as it comes; the list comes back on
    // the newest book; a renamed current book shows its new name on the page at once.
    void rename_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("stored");
        QTest::newRow("typed with blanks") << "2" << " 新 名 字 " << "" << "新名字";
        QTest::newRow("typed ideographic blank") << "2" << QString::fromUtf8("家\u3000用") << "" << "家用";
        QTest::newRow("pasted with blanks") << "2" << "" << " 粘 贴 " << " 粘 贴 ";
        QTest::newRow("pasted blanks only") << "2" << "" << "   " << "   ";
        QTest::newRow("same name as another book") << "3" << "二号" << "" << "二号";
        QTest::newRow("current book") << "1" << "改名" << "" << "改名";
    }
    void rename()
    {
        QFETCH(QString, book);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, stored);
        Books b;
        fourBooks(b);
        b.start();
        const QString oldName = b.book(book)["a1"];
        QString shownKey, shownName;
        bool renameClosed = false;
        DriveWhenShown drive(&b.rename, [&] {
            shownKey = b.rename.findChild<QLabel *>("bsSkinStdLabel1")->text();
            shownName = field(&b.rename)->text();
            QLineEdit *f = field(&b.rename);
            f->selectAll();
            QTest::keyClick(f, Qt::Key_Delete);
            for (QChar c : typed)
                QTest::sendKeyEvent(QTest::Click, f, c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_unknown,
                                    QString(c), Qt::NoModifier);
            if (!pasted.isEmpty()) {
                QGuiApplication::clipboard()->setText(pasted);
                QTest::keyClick(f, Qt::Key_V, Qt::ControlModifier);
            }
            QTest::mouseClick(saveButton(&b.rename), Qt::LeftButton);
            renameClosed = !b.rename.isVisible();
        });
        QString headerName;
        QVERIFY(b.openSwitch([&] {
            b.selectBook(book);
            b.clickSwitcher("bsSkinSpeedButton1");
            QCOMPARE(b.dm().Query_jz_aa->field("aid"), QString("12"));
            headerName = b.switcher.currentBookName();
        }));
        QVERIFY(renameClosed);
        QCOMPARE(shownKey, book);
        QCOMPARE(shownName, oldName);
        QCOMPARE(b.book(book)["a1"], stored);
        QVERIFY(msg::shown().isEmpty());
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        // The page and the dialog's header show the name the current book has now.
        QCOMPARE(b.pageName(), b.book("1")["a1"]);
        QCOMPARE(headerName, b.book("1")["a1"]);
        b.openSwitch([&] {
            b.selectBook("1");
            b.clickSwitcher("bsSkinButton1");
        });
        QCOMPARE(b.pageName(), b.book("1")["a1"]);
    }

    void renameRefusals()
    {
        Books b;
        fourBooks(b);
        b.start();
        QString afterLimit;
        bool stayedOpen = false;
        DriveWhenShown drive(&b.rename, [&] {
            QLineEdit *f = field(&b.rename);
            f->selectAll();
            QTest::keyClicks(f, QString(21, QLatin1Char('m')));
            afterLimit = f->text();
            f->clear();
            QTest::keyClick(f, Qt::Key_Return);
            stayedOpen = b.rename.isVisible();
        });
        b.openSwitch([&] {
            b.selectBook("2");
            b.clickSwitcher("bsSkinSpeedButton1");
        });
        QCOMPARE(afterLimit, QString(20, QLatin1Char('m')));
        QVERIFY(stayedOpen);
        QCOMPARE(msg::lastShown().text, QString("账本名不能是空的,请重新输入！"));
        QCOMPARE(b.book("2")["a1"], QString("二号"));
    }

    // The close box of a small dialog leaves without saving.
    void closeBoxSavesNothing()
    {
        Books b;
        fourBooks(b);
        b.start();
        DriveWhenShown rename(&b.rename, [&] {
            field(&b.rename)->setText("不存");
            b.rename.close();
        });
        DriveWhenShown remark(&b.remark, [&] {
            field(&b.remark)->setText("不存");
            b.remark.close();
        });
        b.openSwitch([&] {
            b.selectBook("2");
            b.clickSwitcher("bsSkinSpeedButton1");
            b.clickSwitcher("bsSkinSpeedButton2");
        });
        QVERIFY(rename.ran && remark.ran);
        QCOMPARE(b.book("2")["a1"], QString("二号"));
        QCOMPARE(b.book("2")["a3"], QString(""));
    }

    void remark_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("new remark") << "" << "常用 账本" << "常用 账本";
        QTest::newRow("emptied") << "旧备注" << "" << "";
        QTest::newRow("41st character refused") << "" << QString(41, QChar(u'注')) << QString(40, QChar(u'注'));
    }
    void remark()
    {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Books b;
        fourBooks(b);
        b.dm().conn_jz_m.exec("update jz_aa set a3 = :a where aid = 3", {{":a", before}});
        b.start();
        QString shown;
        DriveWhenShown drive(&b.remark, [&] {
            QLineEdit *f = field(&b.remark);
            shown = f->text();
            f->selectAll();
            QTest::keyClick(f, Qt::Key_Delete);
            for (QChar c : typed)
                QTest::sendKeyEvent(QTest::Click, f, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::keyClick(f, Qt::Key_Return);
        });
        b.openSwitch([&] {
            b.selectBook("3");
            b.clickSwitcher("bsSkinSpeedButton2");
        });
        QVERIFY(drive.ran && !drive.stayedOpen);
        QCOMPARE(shown, before);
        const QString a3 = b.book("3")["a3"];
        QCOMPARE(a3, stored);
        QVERIFY(!a3.isNull());
        QCOMPARE(column(b.bookGrid(), 2).value(1), stored);
    }

    void deleteBook_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("ok") << int(QMessageBox::Ok) << true;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    }
    // Book 2 goes with exactly its own entries: book 12's stay, and so do detail lines.
    void deleteBook()
    {
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        Books b;
        fourBooks(b);
        const int bid2 = b.ledger.addEntry("支出", "2026-12- 7", "二", "乙", "5.00", "5.00", "0.00", "2");
        b.dm().conn_jz_u.exec("insert into jz_ua (ua1,ua6) values ('x', :k)", {{":k", QString::number(bid2)}});
        b.start();
        const QStringList pageTotals = b.totals();
        QStringList listed;
        QString selected;
        const bool open = b.openSwitch([&] {
            b.selectBook("2");
            msg::setNextAnswer(QMessageBox::StandardButton(answer));
            b.clickSwitcher("bsSkinSpeedButton3");
            listed = listedBids(b.bookGrid());
            selected = b.dm().Query_jz_aa->field("aid");
        });
        QVERIFY(open);
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Question);
        QCOMPARE(msg::lastShown().caption, QString("删除确认"));
        QCOMPARE(msg::lastShown().text, QString("您确定要删除此账本吗?所有相关收支记录也会被清除！！"));
        QCOMPARE(b.entriesOf("12"), 1);
        QCOMPARE(b.entriesOf("1"), 2);
        QCOMPARE(b.entriesOf("3"), 2);
        QCOMPARE(tableRows(b.dm().conn_jz_u, "jz_ua", "uaid").size(), 1);
        if (deleted) {
            QCOMPARE(b.entriesOf("2"), 0);
            QVERIFY(b.book("2").isEmpty());
            QCOMPARE(listed, (QStringList{"12", "3", "1"}));
            QCOMPARE(selected, QString("1"));
        } else {
            QCOMPARE(b.entriesOf("2"), 2);
            QCOMPARE(listed, (QStringList{"12", "3", "2", "1"}));
            QCOMPARE(selected, QString("2"));
        }
        // Another book went: the page and the current book are as they were.
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        QCOMPARE(b.pageName(), QString("默认账本"));
        QCOMPARE(b.totals(), pageTotals);
    }

    void defaultBookIsNeverDeleted_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("as delivered") << "默认账本";
        QTest::newRow("renamed") << "我的账本";
    }
    void defaultBookIsNeverDeleted()
    {
        QFETCH(QString, name);
        Books b;
        fourBooks(b);
        b.dm().conn_jz_m.exec("update jz_aa set a1 = :a where aid = 1", {{":a", name}});
        // A younger book may carry the default book's name and still goes.
        b.dm().conn_jz_m.exec("update jz_aa set a1 = '默认账本' where aid = 3");
        b.start();
        b.openSwitch([&] {
            b.selectBook("1");
            b.clickSwitcher("bsSkinSpeedButton3");
            QCOMPARE(msg::shown().size(), 1);
            QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
            QCOMPARE(msg::lastShown().text, QString("默认账本不能被删除"));
            b.selectBook("3");
            b.clickSwitcher("bsSkinSpeedButton3");
        });
        QVERIFY(!b.book("1").isEmpty());
        QCOMPARE(b.entriesOf("1"), 2);
        QVERIFY(b.book("3").isEmpty());
    }

    // The default book takes over at once: the page never shows a book that is gone, and
    // the next entry goes to book 1.
    void deletingTheCurrentBookLandsOnTheDefault()
    {
        Books b;
        fourBooks(b);
        b.ledger.makeCurrent(3);
        b.start();
        QCOMPARE(b.pageName(), QString("三号"));
        QString header;
        const bool open = b.openSwitch([&] {
            b.selectBook("3");
            b.clickSwitcher("bsSkinSpeedButton3");
            header = b.switcher.currentBookName();
        });
        QVERIFY(open);
        QVERIFY(b.book("3").isEmpty());
        QCOMPARE(b.entriesOf("3"), 0);
        QCOMPARE(b.currentBooks(), QStringList{"1"});
        QCOMPARE(b.page.bookKey(), QString("1"));
        QCOMPARE(b.pageName(), QString("默认账本"));
        QCOMPARE(header, QString("默认账本"));
        QCOMPARE(b.page.grid()->model()->rowCount(), 2);
        QCOMPARE(b.totals(), (QStringList{"100", "60", "40", "30", "30", "0"}));

        Tnew_shouru income(b.ledger.dm.get());
        int shown = 0;
        DriveWhenShown drive(&income, [&] { ++shown; });
        b.page.setEntryDialogs(&income, nullptr, nullptr, nullptr);
        QTest::mouseClick(b.page.findChild<QToolButton *>("bsSkinSpeedButton2"), Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(income.bookKey(), QString("1"));
    }

    // A failing book row delete undoes the entries' delete: no book without its entries.
    void failedDeleteKeepsBookAndEntries()
    {
        Books b;
        fourBooks(b);
        b.ledger.makeCurrent(3);
        b.start();
        b.dm().conn_jz_m.exec("create trigger refuse before delete on jz_aa begin select raise(abort, '只读'); end");
        QStringList listed;
        b.openSwitch([&] {
            b.selectBook("3");
            b.clickSwitcher("bsSkinSpeedButton3");
            listed = listedBids(b.bookGrid());
        });
        QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
        QVERIFY(msg::lastShown().text.contains("只读"));
        QCOMPARE(b.entriesOf("3"), 2);
        QCOMPARE(b.currentBooks(), QStringList{"3"});
        QCOMPARE(listed, (QStringList{"12", "3", "2", "1"}));
        QCOMPARE(b.pageName(), QString("三号"));
    }
};

QTEST_MAIN(TestSwitchDialog)
#include "tst_switch_dialog.moc"
