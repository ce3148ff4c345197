#include <QtTest>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "../books/book_fixture.h"
#include "detail_fixture.h"
#include "data/data_module.h"
#include "data/query.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "records/amount_field.h"
#include "ui/date_field.h"
#include "ui/message_box.h"

using namespace fixture;

namespace {

const QString kRequired = QStringLiteral("红色*号项必须填写");
const QString kNoLines = QStringLiteral("此记录没有明细，请您先添加");

using Row = QHash<QString, QString>;

// The detail window and both dialogs on a ledger of their own, wired as the program wires them.
struct Env {
    testsupport::DataFolder folder;
    TDataModule2 dm{folder.path()};
    Tmingxi window{&dm};
    Tnew_mingxi add{&dm, &window};
    Tedit_mingxi change{&dm, &window};

    Env()
    {
        window.setDialogs(&add, &change);
        msg::clearShown();
    }
    ~Env() { window.hide(); }

    QString addLine(const QString &entry, const QString &category, const QString &amount = QStringLiteral("1.00"),
                    const QString &summary = QStringLiteral("摘要"), const QString &remark = QString(),
                    const QString &date = QStringLiteral("2012-10- 6"))
    {
        dm.conn_jz_u.exec(QStringLiteral("insert into jz_ua (ua1,ua2,ua3,ua4,ua5,ua6) values (:a,:b,:c,:d,:e,:f)"),
                          {{":a", category}, {":b", date}, {":c", summary}, {":d", remark}, {":e", amount}, {":f", entry}});
        return QString::number(dm.conn_jz_u.lastInsertId());
    }
    // Every stored line, oldest first (NULL reads as a null QString).
    QList<Row> stored()
    {
        Query q(&dm.conn_jz_u, QStringLiteral("probe"));
        q.setSql(QStringLiteral("select * from jz_ua order by uaid"));
        q.open();
        QList<Row> out;
        for (int r = 0; r < q.rowCount(); ++r) {
            Row row;
            for (int c = 0; c < q.columnCount(); ++c)
                row.insert(q.fields()[c], q.isNull(r, c) ? QString() : q.value(r, c));
            out << row;
        }
        return out;
    }
    // Opens the window for an entry as the account-book page does (not modal, so the test goes on).
    bool open(const QString &entry)
    {
        window.setEntryLine(QStringLiteral("收入,货款, 总额100.00 已收60.00 应收40.00  2012-10- 6"));
        window.setEntryKey(entry);
        window.setWindowTitle(QStringLiteral("编号%1的收入记录明细").arg(entry));
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    DataGrid *grid() { return window.grid(); }
    QToolButton *button(const char *name) { return window.findChild<QToolButton *>(QString::fromLatin1(name)); }
    void click(const char *name)
    {
        QToolButton *b = button(name);
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

// The controls of a detail dialog by their names.
struct Fields {
    explicit Fields(DetailDialog *d)
        : category(d->findChild<QLineEdit *>("bsSkinEdit6"))
        , date(d->findChild<DateField *>("bsSkinDateEdit2"))
        , summary(d->findChild<QLineEdit *>("bsSkinEdit7"))
        , remark(d->findChild<QLineEdit *>("bsSkinEdit8"))
        , amount(d->findChild<AmountField *>("bsSkinSpinEdit1"))
        , save(d->findChild<QPushButton *>("bsSkinButton1"))
        , cancel(d->findChild<QPushButton *>("bsSkinButton2"))
    {
    }
    QLineEdit *category;
    DateField *date;
    QLineEdit *summary;
    QLineEdit *remark;
    AmountField *amount;
    QPushButton *save;
    QPushButton *cancel;
    QStringList texts() const
    {
        return {category->text(), date->text(), summary->text(), remark->text(), amount->text()};
    }
};

// Types into a field the way a user does: click into it, select all, type.
void type(QWidget *field, const QString &text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
}

// The amount field's own line edit takes the clicks and keys.
QWidget *amountInput(AmountField *f) { return f->findChild<QLineEdit *>(); }

QString today() { return DateField::format(QDate::currentDate()); }

} // namespace

class TestDetailWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { testsupport::initApplication(); }

    void windowLayout();
    void listShowsOnlyTheEntrysLines_data();
    void listShowsOnlyTheEntrysLines();

    void dialogTwins_data();
    void dialogTwins();
    void tabOrder_data();
    void tabOrder();
    void addStoresAmountAsTheFieldHoldsIt_data();
    void addStoresAmountAsTheFieldHoldsIt();
    void addResetsOnEveryShow();
    void requiredFields_data();
    void requiredFields();

    void changeWritesThatLineOnly();
    void changeKeepsStoredTextsWhole();
    void changeAndDeleteRefuseWithoutLines_data();
    void changeAndDeleteRefuseWithoutLines();
    void deleteAsksFirst_data();
    void deleteAsksFirst();

    void clickIntoAmountSelectsAll_data();
    void clickIntoAmountSelectsAll();
    void amountInTheDialogsFont_data();
    void amountInTheDialogsFont();
};

void TestDetailWindow::windowLayout()
{
    Env env;
    env.addLine("3", "a");
    env.addLine("3", "b");
    env.addLine("3", "c");
    QVERIFY(env.open("3"));
    QCOMPARE(env.window.objectName(), QString("Tmingxi"));
    QCOMPARE(env.window.size(), QSize(661, 331));
    QCOMPARE(env.window.minimumSize(), env.window.maximumSize());
    QCOMPARE(env.window.findChild<QGroupBox *>()->title(), QString("记录明细列表"));
    auto *key = env.window.findChild<QLabel *>("bsSkinStdLabel3");
    QVERIFY(key && !key->isVisible());
    QCOMPARE(key->text(), QString("3"));

    // Three buttons in a strip aligned right, left to right.
    const QStringList captions{"添加明细", "修改明细", "删除明细"};
    int right = -1;
    for (int i = 0; i < 3; ++i) {
        QToolButton *b = env.button(qPrintable(QStringLiteral("bsSkinSpeedButton%1").arg(i + 1)));
        QVERIFY(b);
        QCOMPARE(b->text(), captions[i]);
        QCOMPARE(b->width(), 90);
        QVERIFY(b->x() > right);
        right = b->x();
    }

    DataGrid *g = env.grid();
    QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(g->selectionBehavior(), QAbstractItemView::SelectRows);
    const QStringList titles{"类型", "日期", "摘要", "备注", "金额总计"};
    const int widths[] = {60, 100, 180, 140, 100};
    QCOMPARE(g->model()->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(g->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
        // The summary and remark columns take what room the grid has beyond the others.
        if (c == 2 || c == 3)
            QVERIFY(g->columnWidth(c) >= widths[c]);
        else
            QCOMPARE(g->columnWidth(c), widths[c]);
    }
    QCOMPARE(column(g, 0), (QStringList{"c", "b", "a"}));

    // The wheel moves the current line one at a time, whatever the turn.
    wheel(g, -120 * 3);
    QCOMPARE(env.dm.Query_jz_ua->field("ua1"), QString("b"));
    wheel(g, -120);
    wheel(g, -120);
    QCOMPARE(env.dm.Query_jz_ua->field("ua1"), QString("a"));
    wheel(g, 120);
    QCOMPARE(env.dm.Query_jz_ua->field("ua1"), QString("b"));
}

void TestDetailWindow::listShowsOnlyTheEntrysLines_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("entry 1") << "1" << QStringList{"one-b", "one-a"};
    QTest::newRow("entry 10") << "10" << QStringList{"ten"};
    QTest::newRow("entry 21") << "21" << QStringList{"twenty-one"};
    QTest::newRow("entry without lines") << "2" << QStringList{};
}

void TestDetailWindow::listShowsOnlyTheEntrysLines()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, listed);
    Env env;
    env.addLine("1", "one-a");
    env.addLine("10", "ten");
    env.addLine("11", "eleven");
    env.addLine("21", "twenty-one");
    env.addLine("1", "one-b");
    env.addLine("%", "wild");
    env.addLine("_", "any");
    // Another entry's lines are listed first, as after the previous opening.
    QVERIFY(env.open("11"));
    QCOMPARE(column(env.grid(), 0), QStringList{"eleven"});
    env.window.hide();
    QVERIFY(env.open(entry));
    QCOMPARE(column(env.grid(), 0), listed);
}

void TestDetailWindow::dialogTwins_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("height");
    QTest::newRow("add") << true << "Tnew_mingxi" << "新增明细" << 226;
    QTest::newRow("change") << false << "Tedit_mingxi" << "编辑明细" << 234;
}

void TestDetailWindow::dialogTwins()
{
    QFETCH(bool, adding);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, height);
    Env env;
    env.addLine("4", "a");
    QVERIFY(env.open("4"));
    DetailDialog *d = adding ? static_cast<DetailDialog *>(&env.add) : &env.change;
    bool ran = false;
    whenShown(d, [&] {
        ran = true;
        QCOMPARE(d->objectName(), name);
        QCOMPARE(d->windowTitle(), caption);
        QCOMPARE(d->size(), QSize(398, height));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        Fields f(d);
        QVERIFY(f.category && f.date && f.summary && f.remark && f.amount && f.save && f.cancel);
        QCOMPARE(f.category->maxLength(), 20);
        QCOMPARE(f.summary->maxLength(), 160);
        QCOMPARE(f.remark->maxLength(), 160);
        QVERIFY(f.amount->font().bold());
        QVERIFY(f.save->isDefault());
        QCOMPARE(f.save->text(), QString("保  存"));
        QCOMPARE(f.cancel->text(), QString("取  消"));
        auto *key = d->findChild<QLabel *>("bsSkinStdLabel9");
        QVERIFY(key && !key->isVisible());
        QCOMPARE(key->text(), QString("4"));
        auto *id = d->findChild<QLabel *>("bsSkinStdLabel10");
        QCOMPARE(id != nullptr, !adding);
        if (id) {
            QVERIFY(!id->isVisible());
            QCOMPARE(id->text(), env.dm.Query_jz_ua->field("uaid"));
        }
        // Red stars before category, summary and amount.
        QStringList starred;
        for (QLabel *star : d->findChildren<QLabel *>()) {
            if (star->text() != QLatin1String("*") || !star->isVisible())
                continue;
            for (QLabel *l : d->findChildren<QLabel *>())
                if (l != star && l->isVisible() && qAbs(l->y() - star->y()) < 4 && l->x() > star->x()
                    && l->x() - star->x() < 30)
                    starred << l->text();
        }
        starred.sort();
        QStringList expected{"类  别:", "摘  要:", "金  额:"};
        expected.sort();
        QCOMPARE(starred, expected);
    });
    env.click(adding ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2");
    QVERIFY(ran);
}

void TestDetailWindow::tabOrder_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("add") << true;
    QTest::newRow("change") << false;
}

void TestDetailWindow::tabOrder()
{
    QFETCH(bool, adding);
    Env env;
    env.addLine("4", "a");
    QVERIFY(env.open("4"));
    DetailDialog *d = adding ? static_cast<DetailDialog *>(&env.add) : &env.change;
    bool ran = false;
    whenShown(d, [&] {
        ran = true;
        Fields f(d);
        const QList<QWidget *> chain{f.save, f.cancel, f.amount, f.summary, f.category, f.remark, f.date, f.save};
        f.save->setFocus(Qt::TabFocusReason);
        for (int i = 1; i < chain.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            QVERIFY2(now == chain[i] || chain[i]->isAncestorOf(now), qPrintable(QString::number(i)));
        }
    });
    env.click(adding ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2");
    QVERIFY(ran);
}

void TestDetailWindow::addStoresAmountAsTheFieldHoldsIt_data()
{
    QTest::addColumn<QString>("typed");   // empty: the amount is never touched
    QTest::addColumn<bool>("clickSave");  // else Enter in the last field typed into
    QTest::addColumn<QString>("stored");
    QTest::newRow("12.5, Enter") << "12.5" << false << "12.5";
    QTest::newRow("12.5, click") << "12.5" << true << "12.50";
    QTest::newRow("untouched, Enter") << "" << false << "0";
    QTest::newRow("untouched, click") << "" << true << "0";
    QTest::newRow("lone minus, Enter") << "-" << false << "0.00";
}

void TestDetailWindow::addStoresAmountAsTheFieldHoldsIt()
{
    QFETCH(QString, typed);
    QFETCH(bool, clickSave);
    QFETCH(QString, stored);
    Env env;
    env.addLine("7", "old", "3.00");
    env.addLine("70", "other");
    QVERIFY(env.open("7"));
    whenShown(&env.add, [&] {
        Fields f(&env.add);
        type(f.category, QStringLiteral("运费"));
        type(f.remark, QStringLiteral("备注一"));
        type(f.summary, QStringLiteral("运到仓库"));
        if (!typed.isEmpty()) {
            type(amountInput(f.amount), QString());
            QTest::keyClicks(amountInput(f.amount), typed);
        }
        if (clickSave)
            QTest::mouseClick(f.save, Qt::LeftButton);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!env.add.isVisible());
    });
    env.click("bsSkinSpeedButton1");
    QVERIFY(msg::shown().isEmpty());

    const QList<Row> rows = env.stored();
    QCOMPARE(rows.size(), 3);
    const Row &line = rows.last();
    QCOMPARE(line["ua1"], QString("运费"));
    QCOMPARE(line["ua2"], today());
    QCOMPARE(line["ua3"], QString("运到仓库"));
    QCOMPARE(line["ua4"], QString("备注一"));
    QCOMPARE(line["ua5"], stored);
    QCOMPARE(line["ua6"], QString("7"));
    // The list is read again: the new line first and current.
    QCOMPARE(column(env.grid(), 0), (QStringList{"运费", "old"}));
    QCOMPARE(column(env.grid(), 4), (QStringList{stored, "3.00"}));
    QCOMPARE(env.dm.Query_jz_ua->field("uaid"), line["uaid"]);
}

void TestDetailWindow::addResetsOnEveryShow()
{
    Env env;
    QVERIFY(env.open("5"));
    // A first use that leaves every field changed, then cancel: nothing is written.
    whenShown(&env.add, [&] {
        Fields f(&env.add);
        QCOMPARE(f.texts(), (QStringList{"", today(), "", "", "0"}));
        QVERIFY(f.category->hasFocus());
        type(f.category, "x");
        type(f.summary, "y");
        type(f.remark, "z");
        type(amountInput(f.amount), "9");
        f.date->setText("2001- 2- 3");
        QTest::mouseClick(f.cancel, Qt::LeftButton);
    });
    env.click("bsSkinSpeedButton1");
    QVERIFY(env.stored().isEmpty());
    // The entry's own date does not matter either: a new line starts today.
    whenShown(&env.add, [&] {
        Fields f(&env.add);
        QCOMPARE(f.texts(), (QStringList{"", today(), "", "", "0"}));
        QCOMPARE(f.amount->value(), 0.0);
    });
    env.click("bsSkinSpeedButton1");
}

void TestDetailWindow::requiredFields_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("saved");
    QTest::newRow("no category") << "" << "s" << "5" << false;
    QTest::newRow("no summary") << "c" << "" << "5" << false;
    QTest::newRow("no amount") << "c" << "s" << "" << false;
    QTest::newRow("nothing") << "" << "" << "" << false;
    QTest::newRow("blanks are text") << "  " << " " << "5" << true;
}

void TestDetailWindow::requiredFields()
{
    QFETCH(QString, category);
    QFETCH(QString, summary);
    QFETCH(QString, amount);
    QFETCH(bool, saved);
    Env env;
    QVERIFY(env.open("8"));
    whenShown(&env.add, [&] {
        Fields f(&env.add);
        type(f.category, category);
        type(f.summary, summary);
        type(amountInput(f.amount), amount);
        const QStringList before = f.texts();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (saved) {
            QVERIFY(msg::shown().isEmpty());
            QVERIFY(!env.add.isVisible());
            return;
        }
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(msg::lastShown().text, kRequired);
        QVERIFY(env.add.isVisible());
        QCOMPARE(f.texts(), before);
    });
    env.click("bsSkinSpeedButton1");
    QCOMPARE(env.stored().size(), saved ? 1 : 0);
}

void TestDetailWindow::changeWritesThatLineOnly()
{
    Env env;
    const QString first = env.addLine("6", "材料", "60.00", "钢板", "分两次");
    const QString second = env.addLine("6", "运费", "12.5", "运输", "", "2012-10- 7");
    const QString third = env.addLine("6", "人工", "27.50", "装卸");
    QVERIFY(env.open("6"));
    clickRow(env.grid(), 1);
    QCOMPARE(env.dm.Query_jz_ua->field("uaid"), second);
    whenShown(&env.change, [&] {
        Fields f(&env.change);
        QCOMPARE(f.texts(), (QStringList{"运费", "2012-10- 7", "运输", "", "12.5"}));
        QCOMPARE(env.change.lineId(), second);
        type(f.summary, "运到仓库");
        type(f.remark, "含税");
        type(amountInput(f.amount), "13");
        f.date->setText("2012-10- 9");
        QTest::mouseClick(f.save, Qt::LeftButton);
        QVERIFY(!env.change.isVisible());
    });
    env.click("bsSkinSpeedButton2");
    QVERIFY(msg::shown().isEmpty());

    const QList<Row> rows = env.stored();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0]["uaid"], first);
    QCOMPARE(rows[0]["ua3"], QString("钢板"));
    QCOMPARE(rows[0]["ua5"], QString("60.00"));
    QCOMPARE(rows[1]["uaid"], second);
    const QStringList changed{rows[1]["ua1"], rows[1]["ua2"], rows[1]["ua3"], rows[1]["ua4"], rows[1]["ua5"], rows[1]["ua6"]};
    QCOMPARE(changed, (QStringList{"运费", "2012-10- 9", "运到仓库", "含税", "13.00", "6"}));
    QCOMPARE(rows[2]["uaid"], third);
    QCOMPARE(rows[2]["ua3"], QString("装卸"));
    // Read again, and the changed line is still the selected one.
    QCOMPARE(column(env.grid(), 2), (QStringList{"装卸", "运到仓库", "钢板"}));
    QCOMPARE(env.dm.Query_jz_ua->field("uaid"), second);
}

void TestDetailWindow::changeKeepsStoredTextsWhole()
{
    // Texts written before the limits (or by another tool) come back unchanged from a save.
    Env env;
    const QString longCategory = QString(25, QChar(u'类'));
    const QString line = env.addLine("9", longCategory, "12.5", "摘要", "备注", "2012-10- 6");
    QVERIFY(env.open("9"));
    whenShown(&env.change, [&] {
        Fields f(&env.change);
        QCOMPARE(f.category->text(), longCategory);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    env.click("bsSkinSpeedButton2");
    const Row row = env.stored().first();
    QCOMPARE(row["ua1"], longCategory);
    QCOMPARE(row["ua2"], QString("2012-10- 6"));
    QCOMPARE(row["ua5"], QString("12.5"));
    // The add dialog is limited again after the long text.
    whenShown(&env.add, [&] { QCOMPARE(Fields(&env.add).category->maxLength(), 20); });
    env.click("bsSkinSpeedButton1");
}

void TestDetailWindow::changeAndDeleteRefuseWithoutLines_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("修改明细") << "bsSkinSpeedButton2";
    QTest::newRow("删除明细") << "bsSkinSpeedButton3";
}

void TestDetailWindow::changeAndDeleteRefuseWithoutLines()
{
    QFETCH(QString, button);
    Env env;
    env.addLine("12", "of another entry");
    QVERIFY(env.open("1"));
    QCOMPARE(env.grid()->model()->rowCount(), 0);
    bool opened = false;
    whenShown(&env.change, [&] { opened = true; });
    env.click(button.toLatin1().constData());
    QCOMPARE(msg::shown().size(), 1);
    QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
    QCOMPARE(msg::lastShown().text, kNoLines);
    QVERIFY(!opened);
    QCOMPARE(env.stored().size(), 1);
}

void TestDetailWindow::deleteAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("ok") << int(QMessageBox::Ok) << false;
    QTest::newRow("ok, Delete key") << int(QMessageBox::Ok) << true;
}

void TestDetailWindow::deleteAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, byKey);
    Env env;
    const QString a = env.addLine("3", "a");
    const QString b = env.addLine("3", "b");
    const QString c = env.addLine("3", "c");
    QVERIFY(env.open("3"));
    clickRow(env.grid(), 1);
    msg::setNextAnswer(QMessageBox::StandardButton(answer));
    if (byKey)
        QTest::keyClick(env.grid(), Qt::Key_Delete);
    else
        env.click("bsSkinSpeedButton3");
    QCOMPARE(msg::shown().size(), 1);
    QCOMPARE(msg::lastShown().kind, msg::Kind::Question);
    QCOMPARE(msg::lastShown().caption, QString("删除确认"));
    QCOMPARE(msg::lastShown().text, QString("您确定要删除此记录吗?此操作不可恢复"));
    QStringList left;
    for (const Row &r : env.stored())
        left << r["uaid"];
    if (answer == QMessageBox::Ok) {
        QCOMPARE(left, (QStringList{a, c}));
        QCOMPARE(column(env.grid(), 0), (QStringList{"c", "a"}));
        QCOMPARE(env.dm.Query_jz_ua->field("uaid"), a);
    } else {
        QCOMPARE(left, (QStringList{a, b, c}));
        QCOMPARE(column(env.grid(), 0), (QStringList{"c", "b", "a"}));
    }
}

void TestDetailWindow::clickIntoAmountSelectsAll_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("添加明细") << true;
    QTest::newRow("修改明细") << false;
}

// The click that brings the focus selects the whole amount: what is typed replaces it.
void TestDetailWindow::clickIntoAmountSelectsAll()
{
    QFETCH(bool, adding);
    Env env;
    env.addLine("4", "材料", "7.00");
    QVERIFY(env.open("4"));
    DetailDialog *d = adding ? static_cast<DetailDialog *>(&env.add) : &env.change;
    whenShown(d, [&] {
        Fields f(d);
        type(f.category, "运费");
        type(f.summary, "运输");
        const QString before = f.amount->text();
        QTest::mouseClick(f.amount, Qt::LeftButton);
        QCOMPARE(f.amount->findChild<QLineEdit *>()->selectedText(), before);
        QTest::keyClicks(f.amount, "0.1");
        QCOMPARE(f.amount->text(), QString("0.1"));
        QTest::mouseClick(f.save, Qt::LeftButton);
        QVERIFY(!d->isVisible());
    });
    env.click(adding ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2");
    const QList<Row> rows = env.stored();
    QCOMPARE(rows.last()["ua5"], QString("0.10"));
    QCOMPARE(rows.size(), adding ? 2 : 1);
}

void TestDetailWindow::amountInTheDialogsFont_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("添加明细") << true;
    QTest::newRow("修改明细") << false;
}

// A 15-digit amount shows whole, in the dialog's own size of font (bold), not shrunk to fit.
void TestDetailWindow::amountInTheDialogsFont()
{
    QFETCH(bool, adding);
    Env env;
    env.addLine("4", "材料", "7.00");
    QVERIFY(env.open("4"));
    DetailDialog *d = adding ? static_cast<DetailDialog *>(&env.add) : &env.change;
    whenShown(d, [&] {
        Fields f(d);
        QTest::mouseClick(f.amount, Qt::LeftButton);
        QTest::keyClicks(f.amount, "-12345678901234");
        f.category->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.amount->text(), QString("-12345678901234.00"));
        auto *line = f.amount->findChild<QLineEdit *>();
        QCOMPARE(line->font().pointSizeF(), d->font().pointSizeF());
        QCOMPARE(line->fontMetrics().height(), QFontMetrics(f.amount->font()).height());
        QVERIFY(line->font().bold());
        // Whole: scrolled to the end the first character is still at the left edge.
        line->end(false);
        line->repaint();
        QCOMPARE(line->cursorPositionAt(QPoint(2, line->height() / 2)), 0);
        QVERIFY(f.amount->geometry().right() < d->width());
    });
    env.click(adding ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2");
}

QTEST_MAIN(TestDetailWindow)
#include "tst_detail_window.moc"
