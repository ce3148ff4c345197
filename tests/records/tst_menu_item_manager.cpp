#include <QtTest>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <functional>

#include "test_support.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/query.h"
#include "records/entry_dialog.h"
#include "records/menu_item_manager.h"
#include "ui/data_grid.h"
#include "ui/message_box.h"

namespace {

// A data folder, the data module, the four entry dialogs and the manager, wired as at start.
struct Env
{
    testsupport::DataFolder folder;
    TDataModule2 dm{folder.path()};
    Tnew_shouru newIncome{&dm};
    Tnew_zhichu newExpense{&dm};
    Tedit_shouru editIncome{&dm};
    Tedit_zhichu editExpense{&dm};
    Tlist manager{&dm};
    QList<EntryDialog *> dialogs{&newIncome, &newExpense, &editIncome, &editExpense};

    Env()
    {
        BookRefresh::full(dm);
        for (EntryDialog *d : dialogs)
            d->setMenuManager(&manager);
        manager.setTargets(dialogs);
        msg::clearShown();
    }

    // Phrases oldest first, then the standing query re-read (newest first).
    void addPhrases(const QString &table, const QStringList &texts)
    {
        for (const QString &t : texts)
            dm.conn_jz_f.exec(QStringLiteral("insert into %1 (z1)values (:a)").arg(table), {{":a", t}});
        (table == QLatin1String("a1") ? dm.Query_jz_a1 : dm.Query_jz_a2)->reopen();
    }
    QStringList stored(const QString &table)
    {
        Query q(&dm.conn_jz_f, QStringLiteral("probe"));
        q.setSql(QStringLiteral("select z1 from %1 order by zid").arg(table));
        q.open();
        QStringList out;
        for (int r = 0; r < q.rowCount(); ++r)
            out << q.value(r, 0);
        return out;
    }

    QWidget *panel(bool summaries) { return manager.findChild<QWidget *>(summaries ? "caidan_zhaiyao" : "caidan_danwei"); }
    DataGrid *grid(bool summaries) { return manager.findChild<DataGrid *>(summaries ? "bsSkinDBGrid2" : "bsSkinDBGrid1"); }
    QToolButton *nav(bool summaries, const char *button)
    {
        auto *bar = manager.findChild<QWidget *>(summaries ? "bsSkinDBNavigator2" : "bsSkinDBNavigator1");
        return bar ? bar->findChild<QToolButton *>(button) : nullptr;
    }
    QPushButton *button(const char *name) { return manager.findChild<QPushButton *>(name); }

    // Opens the manager modally the way the picker does and drives it from inside its loop.
    // The manager is closed afterwards whatever the driver did.
    void whileOpen(bool summaries, const std::function<void()> &drive)
    {
        QTimer::singleShot(0, &manager, [this, drive] {
            if (QTest::qWaitForWindowActive(&manager))
                drive();
            if (manager.isVisible())
                manager.reject();
        });
        if (summaries)
            manager.showSummaries();
        else
            manager.showCounterparties();
    }
};

void typeInCell(DataGrid *grid, const QString &text)
{
    // Enter opens the in-place editor, the text goes in, Enter closes it again.
    QTest::keyClick(grid, Qt::Key_Return);
    QWidget *editor = QApplication::focusWidget();
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return;
    line->selectAll();
    QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, text, Qt::NoModifier);
    QTest::keyClick(line, Qt::Key_Return);
    QCoreApplication::processEvents();
}

bool editorOpen(DataGrid *grid)
{
    for (QLineEdit *line : grid->viewport()->findChildren<QLineEdit *>())
        if (line->isVisible())
            return true;
    return false;
}

// Opens the cell editor of the current row with Enter and types into it; the editor stays
// open, as when the user goes for a button next. Replacing with nothing empties the cell.
void typeInOpenEditor(DataGrid *grid, const QString &text, bool replace)
{
    QTest::keyClick(grid, Qt::Key_Return);
    auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(line);
    if (replace) {
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
    } else {
        line->end(false);
    }
    if (!text.isEmpty())
        QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, text, Qt::NoModifier);
    QVERIFY(editorOpen(grid));
}

// Counts the paintings of a widget from now on.
struct PaintCounter : QObject
{
    int paints = 0;
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

void wheel(QWidget *grid, int delta)
{
    QWidget *vp = static_cast<QAbstractItemView *>(grid)->viewport();
    const QPointF pos(vp->width() / 2, 5);
    QWheelEvent ev(pos, vp->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(vp, &ev);
}

} // namespace

class TestMenuItemManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void layout();
    void pickerOpensItsPanelAndChooseFillsAllDialogs_data();
    void pickerOpensItsPanelAndChooseFillsAllDialogs();
    void chooseOnEmptyListEmptiesField();
    void cancelAfterPostKeepsPhraseNotField();
    void movingToAnotherRowPostsTheEdit();
    void unchangedNewRowDroppedOnLeavingGrid();
    void deleteAsksNothing();
    void wheelMovesOneRowPerNotch();
    void failedPostKeepsRowEdited();
    void everyActionTakesTheOpenEditor_data();
    void everyActionTakesTheOpenEditor();
    void emptyPhraseNeverStored_data();
    void emptyPhraseNeverStored();
    void markerFollowsTheWrite();
};

void TestMenuItemManager::layout()
{
    Env env;
    env.whileOpen(true, [&] {
        QCOMPARE(env.manager.windowTitle(), QString("菜单项管理"));
        QCOMPARE(env.manager.size(), QSize(410, 301));
        QVERIFY(env.manager.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(env.manager.windowFlags() & Qt::WindowMaximizeButtonHint));
        for (bool summaries : {true, false}) {
            QVERIFY(env.panel(summaries));
            QCOMPARE(env.panel(summaries)->geometry(), QRect(0, 0, 410, 301));
            QVERIFY(env.nav(summaries, "nbInsert") && env.nav(summaries, "nbDelete") && env.nav(summaries, "nbPost"));
            DataGrid *g = env.grid(summaries);
            QCOMPARE(g->model()->columnCount(), 1);
            QCOMPARE(g->model()->headerData(0, Qt::Horizontal).toString(), QString("菜单项"));
            QCOMPARE(g->columnWidth(0), 360);
            QVERIFY(!g->verticalHeader()->isHidden());
        }
        QCOMPARE(env.button("bsSkinButton1")->geometry(), QRect(160, 248, 121, 33));
        QCOMPARE(env.button("bsSkinButton2")->geometry(), QRect(296, 248, 81, 33));
        QCOMPARE(env.button("bsSkinButton3")->geometry(), QRect(160, 248, 121, 33));
        QCOMPARE(env.button("bsSkinButton4")->geometry(), QRect(296, 248, 81, 33));
        QCOMPARE(env.button("bsSkinButton1")->text(), QString("选  择"));
        QCOMPARE(env.button("bsSkinButton2")->text(), QString("取  消"));
        const QStringList headings{"摘要", "单位名称"};
        for (int i = 0; i < 2; ++i) {
            bool found = false;
            for (QLabel *l : env.panel(i == 0)->findChildren<QLabel *>())
                found |= l->text() == headings[i] && l->height() == 26;
            QVERIFY2(found, qPrintable(headings[i]));
        }
    });
}

void TestMenuItemManager::pickerOpensItsPanelAndChooseFillsAllDialogs_data()
{
    QTest::addColumn<bool>("summaries");
    QTest::newRow("summary picker") << true;
    QTest::newRow("counterparty picker") << false;
}

void TestMenuItemManager::pickerOpensItsPanelAndChooseFillsAllDialogs()
{
    QFETCH(bool, summaries);
    Env env;
    env.addPhrases("a1", {"旧摘要", "中摘要", "新摘要"});
    env.addPhrases("a2", {"甲公司", "乙公司"});
    env.newExpense.setBookKey("1");
    env.newExpense.show();
    QVERIFY(QTest::qWaitForWindowActive(&env.newExpense));
    auto *picker = env.newExpense.findChild<QToolButton *>(summaries ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2");
    QVERIFY(picker);

    bool rightPanel = false;
    QTimer::singleShot(0, &env.manager, [&] {
        rightPanel = QTest::qWaitForWindowActive(&env.manager) && env.panel(summaries)->isVisible()
                     && !env.panel(!summaries)->isVisible();
        // The second row: one notch of the wheel towards the user.
        wheel(env.grid(summaries), -120);
        QTest::mouseClick(env.button(summaries ? "bsSkinButton1" : "bsSkinButton3"), Qt::LeftButton);
        if (env.manager.isVisible())
            env.manager.reject();
    });
    QTest::mouseClick(picker, Qt::LeftButton);

    QVERIFY(rightPanel);
    QVERIFY(!env.manager.isVisible());
    QVERIFY(env.newExpense.isVisible());
    const QString expected = summaries ? QStringLiteral("中摘要") : QStringLiteral("甲公司");
    for (EntryDialog *d : env.dialogs) {
        QCOMPARE(summaries ? d->summaryText() : d->counterpartyText(), expected);
        QCOMPARE(summaries ? d->counterpartyText() : d->summaryText(), QString());
    }
}

void TestMenuItemManager::chooseOnEmptyListEmptiesField()
{
    Env env;
    for (EntryDialog *d : env.dialogs)
        d->setCounterpartyText("旧单位");
    env.whileOpen(false, [&] { QTest::mouseClick(env.button("bsSkinButton3"), Qt::LeftButton); });
    for (EntryDialog *d : env.dialogs)
        QCOMPARE(d->counterpartyText(), QString());
}

void TestMenuItemManager::cancelAfterPostKeepsPhraseNotField()
{
    Env env;
    env.addPhrases("a1", {"one"});
    env.editIncome.setSummaryText("mine");
    env.whileOpen(true, [&] {
        QTest::mouseClick(env.nav(true, "nbInsert"), Qt::LeftButton);
        typeInCell(env.grid(true), QStringLiteral("办公费"));
        QTest::mouseClick(env.nav(true, "nbPost"), Qt::LeftButton);
        QTest::mouseClick(env.button("bsSkinButton2"), Qt::LeftButton);
    });
    QVERIFY(!env.manager.isVisible());
    QVERIFY(msg::shown().isEmpty());
    QCOMPARE(env.stored("a1"), QStringList({"one", "办公费"}));
    QCOMPARE(env.editIncome.summaryText(), QString("mine"));
    QVERIFY(!env.dm.Query_jz_a1->hasPendingEdit());
}

void TestMenuItemManager::movingToAnotherRowPostsTheEdit()
{
    Env env;
    env.addPhrases("a2", {"a", "b", "c"});  // shown c, b, a
    env.whileOpen(false, [&] {
        DataGrid *g = env.grid(false);
        typeInCell(g, "c2");                 // change the first row
        QVERIFY(env.dm.Query_jz_a2->hasPendingEdit());
        QTest::keyClick(g, Qt::Key_Down);    // leaving it writes it
        QVERIFY(!env.dm.Query_jz_a2->hasPendingEdit());
        QTest::mouseClick(env.nav(false, "nbInsert"), Qt::LeftButton);
        QCOMPARE(env.dm.Query_jz_a2->currentRow(), 1);
        typeInCell(g, "new");
        wheel(g, -960);                      // one row, however large the turn
        QCOMPARE(env.dm.Query_jz_a2->currentRow(), 2);
    });
    QCOMPARE(env.stored("a2"), QStringList({"a", "b", "c2", "new"}));
}

void TestMenuItemManager::unchangedNewRowDroppedOnLeavingGrid()
{
    Env env;
    env.addPhrases("a1", {"x", "y"});
    int rowsWithNewRow = 0;
    int rowsAfterLeaving = 0;
    QString chosen;
    env.whileOpen(true, [&] {
        QTest::mouseClick(env.nav(true, "nbInsert"), Qt::LeftButton);
        rowsWithNewRow = env.dm.Query_jz_a1->rowCount();
        // Opening and closing the editor without typing leaves the row unchanged.
        QTest::keyClick(env.grid(true), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QTest::keyClick(env.grid(true), Qt::Key_Tab);
        rowsAfterLeaving = env.dm.Query_jz_a1->rowCount();
        env.grid(true)->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(env.button("bsSkinButton1"), Qt::LeftButton);
    });
    QCOMPARE(rowsWithNewRow, 3);
    QCOMPARE(rowsAfterLeaving, 2);
    QCOMPARE(env.stored("a1"), QStringList({"x", "y"}));
    QCOMPARE(env.newIncome.summaryText(), QString("y"));
}

void TestMenuItemManager::deleteAsksNothing()
{
    Env env;
    env.addPhrases("a1", {"keep", "drop"});
    env.whileOpen(true, [&] {
        QTest::mouseClick(env.nav(true, "nbDelete"), Qt::LeftButton);
        QCOMPARE(env.dm.Query_jz_a1->rowCount(), 1);
        QCOMPARE(env.dm.Query_jz_a1->field("z1"), QString("keep"));
    });
    QVERIFY(msg::shown().isEmpty());
    QCOMPARE(env.stored("a1"), QStringList({"keep"}));
}

void TestMenuItemManager::wheelMovesOneRowPerNotch()
{
    Env env;
    env.addPhrases("a2", {"1", "2", "3"});
    QList<int> rows;
    env.whileOpen(false, [&] {
        DataGrid *g = env.grid(false);
        for (int delta : {-120, -120, -120, 120, 0, 960})
        {
            wheel(g, delta);
            rows << env.dm.Query_jz_a2->currentRow();
        }
    });
    QCOMPARE(rows, QList<int>({1, 2, 2, 1, 1, 0}));
}

void TestMenuItemManager::failedPostKeepsRowEdited()
{
    Env env;
    env.addPhrases("a1", {"p", "q"});
    env.dm.conn_jz_f.exec("create trigger refuse_a1 before update on a1 begin select raise(abort, 'a1 locked'); end");
    int currentAfterMove = -1;
    QString shownText;
    env.whileOpen(true, [&] {
        DataGrid *g = env.grid(true);
        typeInCell(g, "q2");
        QTest::keyClick(g, Qt::Key_Down);
        QCoreApplication::processEvents();
        currentAfterMove = env.dm.Query_jz_a1->currentRow();
        QTest::mouseClick(env.nav(true, "nbPost"), Qt::LeftButton);
    });
    // Moving, ✔ and closing each try the write and say that it failed.
    QCOMPARE(msg::shown().size(), 3);
    QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
    QVERIFY(msg::lastShown().text.contains("a1 locked"));
    QCOMPARE(currentAfterMove, 0);
    QVERIFY(env.dm.Query_jz_a1->hasPendingEdit());
    QCOMPARE(env.dm.Query_jz_a1->value(0, "z1"), QString("q2"));
    QCOMPARE(env.stored("a1"), QStringList({"p", "q"}));
}

void TestMenuItemManager::everyActionTakesTheOpenEditor_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("newRow");        // "+" and Hotel, or Parking changed to Parking lot
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("field");      // the calling dialog's summary afterwards
    const QStringList added{"Parking", "Hotel"};
    const QStringList changed{"Parking lot"};
    for (const char *action : {"nbPost", "nbInsert", "bsSkinButton1", "bsSkinButton2", "close"}) {
        const bool choose = qstrcmp(action, "bsSkinButton1") == 0;
        QTest::addRow("%s, new row", action) << action << true << added << (choose ? "Hotel" : "mine");
        QTest::addRow("%s, changed row", action) << action << false << changed << (choose ? "Parking lot" : "mine");
    }
    QTest::newRow("nbDelete, new row") << "nbDelete" << true << QStringList{"Parking"} << "mine";
    QTest::newRow("nbDelete, changed row") << "nbDelete" << false << QStringList{} << "mine";
}

void TestMenuItemManager::everyActionTakesTheOpenEditor()
{
    QFETCH(QString, action);
    QFETCH(bool, newRow);
    QFETCH(QStringList, stored);
    QFETCH(QString, field);
    Env env;
    env.addPhrases("a1", {"Parking"});
    env.newIncome.setSummaryText("mine");
    Query *q = env.dm.Query_jz_a1;
    env.whileOpen(true, [&] {
        DataGrid *g = env.grid(true);
        if (newRow) {
            QTest::mouseClick(env.nav(true, "nbInsert"), Qt::LeftButton);
            typeInOpenEditor(g, "Hotel", true);
        } else {
            typeInOpenEditor(g, " lot", false);
        }
        if (action == QLatin1String("close"))
            env.manager.close();
        else if (action.startsWith(QLatin1String("nb")))
            QTest::mouseClick(env.nav(true, qPrintable(action)), Qt::LeftButton);
        else
            QTest::mouseClick(env.button(qPrintable(action)), Qt::LeftButton);
        QVERIFY(!editorOpen(g));
    });
    QVERIFY(msg::shown().isEmpty());
    QCOMPARE(env.stored("a1"), stored);
    QCOMPARE(env.newIncome.summaryText(), field);

    // Opening again shows what is stored, nothing left half-edited.
    QStringList shown;
    QStringList markers;
    env.whileOpen(true, [&] {
        QAbstractItemModel *m = env.grid(true)->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            shown.prepend(m->data(m->index(r, 0)).toString());
            markers << m->headerData(r, Qt::Vertical).toString();
        }
    });
    QVERIFY(!q->hasPendingEdit());
    QCOMPARE(shown, stored);
    QVERIFY2(!markers.contains("*"), qPrintable(markers.join(',')));
}

void TestMenuItemManager::emptyPhraseNeverStored_data()
{
    // Steps: + (insert), ✔ (post), a text typed over the current cell, v (arrow down), choose.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("field");
    QTest::newRow("new row posted untouched") << QStringList{"+", "✔"} << "mine";
    QTest::newRow("new row of blanks posted") << QStringList{"+", "=  ", "✔"} << "mine";
    QTest::newRow("new row emptied again") << QStringList{"+", "=a", "=", "✔"} << "mine";
    QTest::newRow("second insert") << QStringList{"+", "+", "✔"} << "mine";
    QTest::newRow("arrow down from the new row") << QStringList{"+", "v"} << "mine";
    QTest::newRow("chosen while empty") << QStringList{"+", "choose"} << "y";
    QTest::newRow("stored row emptied") << QStringList{"=", "✔"} << "mine";
    QTest::newRow("stored row emptied, arrow down") << QStringList{"=", "v"} << "mine";
}

void TestMenuItemManager::emptyPhraseNeverStored()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, field);
    Env env;
    env.addPhrases("a1", {"x", "y"});
    env.newIncome.setSummaryText("mine");
    env.whileOpen(true, [&] {
        DataGrid *g = env.grid(true);
        for (const QString &step : steps) {
            if (step == QLatin1String("+"))
                QTest::mouseClick(env.nav(true, "nbInsert"), Qt::LeftButton);
            else if (step == QLatin1String("✔"))
                QTest::mouseClick(env.nav(true, "nbPost"), Qt::LeftButton);
            else if (step == QLatin1String("v"))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            else if (step == QLatin1String("choose"))
                QTest::mouseClick(env.button("bsSkinButton1"), Qt::LeftButton);
            else
                typeInOpenEditor(g, step.mid(1), true);
            QCoreApplication::processEvents();
        }
    });
    QVERIFY(msg::shown().isEmpty());
    QCOMPARE(env.stored("a1"), QStringList({"x", "y"}));
    QCOMPARE(env.dm.Query_jz_a1->rowCount(), 2);
    QCOMPARE(env.dm.Query_jz_a1->value(0, "z1"), QString("y"));
    QVERIFY(!env.dm.Query_jz_a1->hasPendingEdit());
    QCOMPARE(env.newIncome.summaryText(), field);
}

void TestMenuItemManager::markerFollowsTheWrite()
{
    Env env;
    env.addPhrases("a2", {"Parking"});
    QStringList markers;
    int paintsAfterWrite = -1;
    env.whileOpen(false, [&] {
        DataGrid *g = env.grid(false);
        QHeaderView *rows = g->verticalHeader();
        typeInCell(g, "Parking lot");
        markers << g->model()->headerData(0, Qt::Vertical).toString();
        QTest::qWait(20);
        PaintCounter counter(rows->viewport());
        QTest::mouseClick(env.nav(false, "nbPost"), Qt::LeftButton);
        QTest::qWait(20);
        paintsAfterWrite = counter.paints;
        markers << g->model()->headerData(0, Qt::Vertical).toString();
    });
    QCOMPARE(markers, QStringList({"*", "▶"}));
    QVERIFY(paintsAfterWrite > 0);
    QCOMPARE(env.stored("a2"), QStringList({"Parking lot"}));
}

QTEST_MAIN(TestMenuItemManager)
#include "tst_menu_item_manager.moc"
