#include <QtTest>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QClipboard>
#include <QSignalSpy>
#include <QToolButton>

#include <memory>
#include <stdexcept>

#include "test_support.h"
#include "data/book_refresh.h"
#include "data/data_module.h"
#include "data/query.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "ui/date_field.h"
#include "ui/message_box.h"
#include "ui/skin.h"

namespace {

const QString kRequired = QStringLiteral("红色*号项必须填写");

// A data folder of its own, the data module on it and the book refresh of start-up.
struct Env
{
    testsupport::DataFolder folder;
    TDataModule2 dm{folder.path()};
    Env()
    {
        BookRefresh::full(dm);
        msg::clearShown();
    }

    // Every row of a table, oldest first, as field -> text (NULL reads as a null QString).
    QList<QHash<QString, QString>> rows(Connection &conn, const QString &table, const QString &key)
    {
        Query q(&conn, QStringLiteral("probe"));
        q.setSql(QStringLiteral("select * from %1 order by %2").arg(table, key));
        q.open();
        QList<QHash<QString, QString>> out;
        for (int r = 0; r < q.rowCount(); ++r) {
            QHash<QString, QString> row;
            for (int c = 0; c < q.columnCount(); ++c)
                row.insert(q.fields()[c], q.isNull(r, c) ? QString() : q.value(r, c));
            out << row;
        }
        return out;
    }
    QList<QHash<QString, QString>> entries() { return rows(dm.conn_jz_m, QStringLiteral("jz_ab"), QStringLiteral("bid")); }
    int phraseCount(const QString &table) { return rows(dm.conn_jz_f, table, QStringLiteral("zid")).size(); }

    QString addEntry(const QString &kind, const QString &summary, const QString &total,
                     const QString &settled, const QString &outstanding, const QString &book = QStringLiteral("1"))
    {
        const bool income = kind == QStringLiteral("收入");
        dm.conn_jz_m.exec(income
            ? QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b5,b6,b7,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)")
            : QStringLiteral("insert into jz_ab (b1,b2,b3,b4,b8,b9,b10,b14)values (:a,:b,:c,:d,:e,:f,:g,:h)"),
            {{":a", kind}, {":b", "2012- 8-27"}, {":c", summary}, {":d", "单位"},
             {":e", total}, {":f", settled}, {":g", outstanding}, {":h", book}});
        return QString::number(dm.conn_jz_m.lastInsertId());
    }
};

std::unique_ptr<EntryDialog> makeDialog(const QString &name, TDataModule2 *dm)
{
    if (name == QLatin1String("Tnew_shouru"))
        return std::make_unique<Tnew_shouru>(dm);
    if (name == QLatin1String("Tnew_zhichu"))
        return std::make_unique<Tnew_zhichu>(dm);
    if (name == QLatin1String("Tedit_shouru"))
        return std::make_unique<Tedit_shouru>(dm);
    return std::make_unique<Tedit_zhichu>(dm);
}

// The dialog's controls by their names.
struct Fields
{
    explicit Fields(EntryDialog *d)
        : dialog(d)
        , summary(d->findChild<QLineEdit *>("bsSkinEdit4"))
        , counterparty(d->findChild<QLineEdit *>("bsSkinEdit5"))
        , date(d->findChild<DateField *>("bsSkinDateEdit1"))
        , total(d->findChild<AmountField *>("bsSkinEdit1"))
        , settled(d->findChild<AmountField *>("bsSkinEdit2"))
        , outstanding(d->findChild<AmountField *>("bsSkinEdit3"))
        , save(d->findChild<QPushButton *>("bsSkinButton1"))
        , cancel(d->findChild<QPushButton *>("bsSkinButton2"))
    {
    }
    EntryDialog *dialog;
    QLineEdit *summary;
    QLineEdit *counterparty;
    DateField *date;
    AmountField *total;
    AmountField *settled;
    AmountField *outstanding;
    QPushButton *save;
    QPushButton *cancel;

    QStringList amounts() const { return {total->text(), settled->text(), outstanding->text()}; }
};

bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// Replaces a field's whole text by typing, the field keeping the focus.
void retype(QWidget *field, const QString &keys)
{
    field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (keys.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    else
        QTest::keyClicks(field, keys);
}

// Types text that may hold characters outside Latin-1 (one key event carrying it all).
void typeText(QWidget *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
}

QString today() { return DateField::format(QDate::currentDate()); }

} // namespace

class TestEntryDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        // The program's own font and style sheet: the sizes below are the user's.
        Skin::apply(*qApp);
    }

    void twins_data();
    void twins();
    void tabOrder();

    void changeRules();
    void upArrowFromZero();
    void refusedKeys_data();
    void refusedKeys();
    void settledAgainstNonNumberTotal();
    void typingOverSelectedAmount_data();
    void typingOverSelectedAmount();
    void longAmountsShowWhole_data();
    void longAmountsShowWhole();

    void enterSavesTextAsTyped_data();
    void enterSavesTextAsTyped();
    void clickSaveStoresRewrittenTotal();
    void dateStoredWholeOrLastDate_data();
    void dateStoredWholeOrLastDate();
    void expenseGoesToExpenseColumns();
    void requiredFields_data();
    void requiredFields();
    void loneMinusTotalStoredAsNumber();

    void saveRerunsSearchAndTotals();
    void phraseListsGrowNewestFirst();
    void failedSaveNeverStoresTwice_data();
    void failedSaveNeverStoresTwice();

    void onShowResetsNewDialog();
    void editorOpensWithStoredTexts_data();
    void editorOpensWithStoredTexts();
    void editorKeepsKindAndBook_data();
    void editorKeepsKindAndBook();
    void editorRefusesNonNumberTotal();

    void storedCentsAddUp_data();
    void storedCentsAddUp();
    void storedMoreDecimalsRounded_data();
    void storedMoreDecimalsRounded();
    void clickIntoAmountSelectsAll_data();
    void clickIntoAmountSelectsAll();
};

void TestEntryDialogs::twins_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("hiddenLabel");
    QTest::addColumn<QString>("badge");
    QTest::newRow("new income") << "Tnew_shouru" << "新增收入" << 472 << "请输入收入详情" << "bsSkinStdLabel7" << "";
    QTest::newRow("new expense") << "Tnew_zhichu" << "新增支出" << 474 << "请输入支出详情" << "bsSkinStdLabel7" << "";
    QTest::newRow("edit income") << "Tedit_shouru" << "修改选中的收入" << 472 << "请输入收入详情" << "bsSkinStdLabel7" << "img_shouru";
    QTest::newRow("edit expense") << "Tedit_zhichu" << "修改选中的支出" << 474 << "请输入支出详情" << "bsSkinStdLabel12" << "img_zhichu";
}

void TestEntryDialogs::twins()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, width);
    QFETCH(QString, group);
    QFETCH(QString, hiddenLabel);
    QFETCH(QString, badge);
    Env env;
    auto d = makeDialog(name, &env.dm);
    QCOMPARE(d->objectName(), name);
    QCOMPARE(d->windowTitle(), caption);
    QVERIFY(showActive(d.get()));
    QCOMPARE(d->size(), QSize(width, 228));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(!(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(d->windowFlags() & Qt::WindowCloseButtonHint);

    auto *box = d->findChild<QGroupBox *>();
    QVERIFY(box);
    QCOMPARE(box->title(), group);
    auto *label = d->findChild<QLabel *>(hiddenLabel);
    QVERIFY(label);
    QVERIFY(!label->isVisible());
    QVERIFY(d->findChild<QLineEdit *>("bsSkinEdit4")->maxLength() == 160);
    QVERIFY(d->findChild<QLineEdit *>("bsSkinEdit5")->maxLength() == 160);
    Fields f(d.get());
    QVERIFY(f.save->isDefault());
    QCOMPARE(f.save->text(), QString("保  存"));
    QCOMPARE(f.cancel->text(), QString("取  消"));
    QVERIFY(d->findChild<QToolButton *>("bsSkinSpeedButton1"));
    QVERIFY(d->findChild<QToolButton *>("bsSkinSpeedButton2"));
    if (!badge.isEmpty()) {
        auto *img = d->findChild<QLabel *>(badge);
        QVERIFY(img);
        QVERIFY(!img->pixmap().isNull());
    }
    // Three red stars: summary, counterparty, total.
    int stars = 0;
    for (QLabel *l : d->findChildren<QLabel *>())
        stars += l->text() == QLatin1String("*") && l->isVisible();
    QCOMPARE(stars, 3);
}

void TestEntryDialogs::tabOrder()
{
    Env env;
    Tnew_shouru d(&env.dm);
    QVERIFY(showActive(&d));
    Fields f(&d);
    const QList<QWidget *> chain{f.summary, f.counterparty, f.date, f.total, f.settled, f.outstanding,
                                 f.save, f.cancel};
    QVERIFY(f.summary->hasFocus());
    for (int i = 1; i < chain.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        QVERIFY2(now == chain[i] || chain[i]->isAncestorOf(now), qPrintable(chain[i]->objectName()));
    }
}

void TestEntryDialogs::changeRules()
{
    Env env;
    Tnew_shouru d(&env.dm);
    QVERIFY(showActive(&d));
    Fields f(&d);
    retype(f.total, "12");
    QCOMPARE(f.amounts(), QStringList({"12", "12.00", "0.00"}));
    retype(f.settled, "5");
    QCOMPARE(f.amounts(), QStringList({"12.00", "5", "7.00"}));
    retype(f.settled, "15");
    QCOMPARE(f.amounts(), QStringList({"12.00", "15", "-3.00"}));
    // Typing into the outstanding amount changes only it.
    retype(f.outstanding, "1");
    QCOMPARE(f.amounts(), QStringList({"12.00", "15.00", "1"}));
    // A new total overrides everything below it.
    retype(f.total, "20.5");
    QCOMPARE(f.amounts(), QStringList({"20.5", "20.50", "0.00"}));
}

void TestEntryDialogs::upArrowFromZero()
{
    Env env;
    Tnew_zhichu d(&env.dm);
    QVERIFY(showActive(&d));
    Fields f(&d);
    QCOMPARE(f.total->text(), QString("0.00"));
    f.total->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(f.total, Qt::Key_Up);
    QCOMPARE(f.amounts(), QStringList({"1.00", "1.00", "0.00"}));
}

void TestEntryDialogs::refusedKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("settled");
    QTest::newRow("minus first is taken") << "-" << "-" << "0.00";
    QTest::newRow("second minus") << "-4-" << "-4" << "-4.00";
    QTest::newRow("second point") << "1.5.2" << "1.52" << "1.52";
    QTest::newRow("letter") << "7x" << "7" << "7.00";
}

void TestEntryDialogs::refusedKeys()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(QString, settled);
    Env env;
    Tnew_shouru d(&env.dm);
    QVERIFY(showActive(&d));
    Fields f(&d);
    retype(f.total, QString());
    QTest::keyClicks(f.total, keys);
    QCOMPARE(f.total->text(), text);
    QCOMPARE(f.settled->text(), settled);
}

void TestEntryDialogs::settledAgainstNonNumberTotal()
{
    Env env;
    // A stored lone "-" total: it stands until the total itself loses the focus.
    Tedit_shouru d(&env.dm);
    d.loadEntry("1", "s", "c", "2012- 8-27", "-", "0.00", "1.00");
    QVERIFY(showActive(&d));
    Fields f(&d);
    retype(f.settled, "5");
    QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
    QCOMPARE(msg::lastShown().text, QString("'-' is not a valid floating point value"));
    QCOMPARE(f.amounts(), QStringList({"-", "5", "1.00"}));
    QVERIFY(d.isVisible());
}

void TestEntryDialogs::typingOverSelectedAmount_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("selectLast");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("stored");
    // Tab selects the settled amount's whole text (selectLast 0), or the last characters
    // are selected; the keys replace the selection.
    QTest::newRow("new expense, minus over a negative")
        << "Tnew_zhichu" << "-5" << 0 << "-2" << QStringList{"-5.00", "-2", "-3.00"};
    QTest::newRow("edit income, minus over a negative")
        << "Tedit_shouru" << "-5" << 0 << "-2" << QStringList{"-5.00", "-2", "-3.00"};
    QTest::newRow("new income, point over the decimals")
        << "Tnew_shouru" << "12.5" << 3 << ".75" << QStringList{"12.50", "12.75", "-0.25"};
    QTest::newRow("edit expense, point over the decimals")
        << "Tedit_zhichu" << "12.5" << 3 << ".75" << QStringList{"12.50", "12.75", "-0.25"};
}

void TestEntryDialogs::typingOverSelectedAmount()
{
    QFETCH(QString, name);
    QFETCH(QString, total);
    QFETCH(int, selectLast);
    QFETCH(QString, keys);
    QFETCH(QStringList, stored);
    Env env;
    auto d = makeDialog(name, &env.dm);
    const bool income = d->kind() == EntryDialog::Kind::Income;
    if (d->mode() == EntryDialog::Mode::Edit) {
        const QString bid = env.addEntry(income ? "收入" : "支出", "s", "1.00", "1.00", "0.00");
        d->loadEntry(bid, "s", "c", "2012- 8-27", "1.00", "1.00", "0.00");
    } else {
        d->setBookKey("1");
    }
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    typeText(f.summary, "s");
    typeText(f.counterparty, "c");
    retype(f.total, total);
    QTest::keyClick(f.total, Qt::Key_Tab);
    QVERIFY(f.settled->hasFocus());
    QCOMPARE(f.settled->findChild<QLineEdit *>()->selectedText(), stored[0]);
    if (selectLast > 0) {
        QTest::keyClick(f.settled, Qt::Key_End);
        for (int i = 0; i < selectLast; ++i)
            QTest::keyClick(f.settled, Qt::Key_Left, Qt::ShiftModifier);
    }
    QTest::keyClicks(f.settled, keys);
    QCOMPARE(f.amounts(), stored);
    QTest::keyClick(f.settled, Qt::Key_Return);
    QVERIFY(!d->isVisible());

    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    const QStringList columns = income ? QStringList{"b5", "b6", "b7"} : QStringList{"b8", "b9", "b10"};
    QCOMPARE(QStringList({rows[0][columns[0]], rows[0][columns[1]], rows[0][columns[2]]}), stored);
}

// Whether the field shows its whole text: scrolled to the end the first character is at the
// left edge, scrolled to the start the last one at the right edge.
QString hiddenPart(AmountField *field)
{
    auto *line = field->findChild<QLineEdit *>();
    const int length = int(line->text().size());
    const int y = line->height() / 2;
    // The line edit scrolls when it paints.
    line->end(false);
    line->repaint();
    const int firstShown = line->cursorPositionAt(QPoint(2, y));
    line->home(false);
    line->repaint();
    const int lastShown = line->cursorPositionAt(QPoint(line->width() - 2, y));
    if (firstShown == 0 && lastShown == length)
        return QString();
    return QStringLiteral("%1: %2 to %3 of %4 shown").arg(line->text()).arg(firstShown).arg(lastShown).arg(length);
}

void TestEntryDialogs::longAmountsShowWhole_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"Tnew_shouru", "Tnew_zhichu", "Tedit_shouru", "Tedit_zhichu"})
        QTest::newRow(name) << name;
}

void TestEntryDialogs::longAmountsShowWhole()
{
    QFETCH(QString, name);
    Env env;
    auto d = makeDialog(name, &env.dm);
    Fields f(d.get());
    const QList<AmountField *> amounts{f.total, f.settled, f.outstanding};
    if (d->mode() == EntryDialog::Mode::Edit)
        d->loadEntry("1", "s", "c", "2012- 8-27", "123456789012345.00", "-12345678901234.00",
                     "999999999999999.00");
    QVERIFY(showActive(d.get()));
    if (d->mode() == EntryDialog::Mode::New) {
        // 15 typed characters, then the rewrite with two decimals.
        retype(f.total, "-12345678901234");
        QTest::keyClick(f.total, Qt::Key_Tab);
        retype(f.outstanding, "888888888888888");
    }
    for (AmountField *a : amounts)
        QVERIFY2(hiddenPart(a).isEmpty(), qPrintable(hiddenPart(a)));
    if (d->mode() == EntryDialog::Mode::New) {
        // A difference of two long amounts runs longer still.
        retype(f.total, "999999999999999");
        QTest::keyClick(f.total, Qt::Key_Tab);
        retype(f.settled, "-99999999999999");
        QTest::keyClick(f.settled, Qt::Key_Tab);
        QCOMPARE(f.outstanding->text(), QString("1099999999999998.00"));
        for (AmountField *a : amounts)
            QVERIFY2(hiddenPart(a).isEmpty(), qPrintable(hiddenPart(a)));
    }
}

void TestEntryDialogs::enterSavesTextAsTyped_data()
{
    QTest::addColumn<QString>("enterIn");
    QTest::addColumn<QString>("total");
    // Enter right after typing into the total: the total is stored as typed.
    QTest::newRow("total") << "bsSkinEdit1" << "12";
    // Enter elsewhere: the total lost the focus first and reads 12.00.
    QTest::newRow("settled") << "bsSkinEdit2" << "12.00";
    QTest::newRow("outstanding") << "bsSkinEdit3" << "12.00";
    QTest::newRow("date") << "bsSkinDateEdit1" << "12.00";
    QTest::newRow("summary") << "bsSkinEdit4" << "12.00";
    QTest::newRow("counterparty") << "bsSkinEdit5" << "12.00";
}

void TestEntryDialogs::enterSavesTextAsTyped()
{
    QFETCH(QString, enterIn);
    QFETCH(QString, total);
    Env env;
    Tnew_shouru d(&env.dm);
    d.setBookKey(BookRefresh::bookKey(env.dm));
    QVERIFY(showActive(&d));
    Fields f(&d);
    typeText(f.summary, QStringLiteral("工资"));
    typeText(f.counterparty, QStringLiteral("公司"));
    retype(f.total, "12");
    auto *target = d.findChild<QWidget *>(enterIn);
    QVERIFY(target);
    if (target != f.total)
        target->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QVERIFY(!d.isVisible());
    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["b1"], QString("收入"));
    QCOMPARE(rows[0]["b2"], today());
    QCOMPARE(rows[0]["b3"], QString("工资"));
    QCOMPARE(rows[0]["b4"], QString("公司"));
    QCOMPARE(rows[0]["b5"], total);
    QCOMPARE(rows[0]["b6"], QString("12.00"));
    QCOMPARE(rows[0]["b7"], QString("0.00"));
    QVERIFY(rows[0]["b8"].isNull() && rows[0]["b9"].isNull() && rows[0]["b10"].isNull());
    QCOMPARE(rows[0]["b14"], QString("1"));
    QCOMPARE(env.dm.Query_jz_ab->rowCount(), 1);
    QCOMPARE(env.dm.Query_count_shouru->value(0, 0), QString("12"));
}

void TestEntryDialogs::clickSaveStoresRewrittenTotal()
{
    Env env;
    Tnew_shouru d(&env.dm);
    d.setBookKey("1");
    QVERIFY(showActive(&d));
    Fields f(&d);
    f.summary->setText("a");
    f.counterparty->setText("b");
    retype(f.total, "12");
    QTest::mouseClick(f.save, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["b5"], QString("12.00"));
    QCOMPARE(rows[0]["b6"], QString("12.00"));
}

void TestEntryDialogs::dateStoredWholeOrLastDate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("keys");      // typed over the whole date, nothing when empty
    QTest::addColumn<QString>("leave");     // tab (then Enter), enter (in the date), click (保  存)
    QTest::addColumn<QString>("stored");    // "today" for today's date
    // Editors open on an entry stored as 2012-08-27.
    QTest::newRow("new: no such day, tab") << "Tnew_shouru" << "20260230" << "tab" << "today";
    QTest::newRow("new: unfinished, enter") << "Tnew_zhichu" << "2026" << "enter" << "today";
    QTest::newRow("new: unfinished, click") << "Tnew_shouru" << "202603" << "click" << "today";
    QTest::newRow("new: leading zeros, enter") << "Tnew_zhichu" << "20260305" << "enter" << "2026- 3- 5";
    QTest::newRow("new: blank-padded, click") << "Tnew_shouru" << "2026 3 5" << "click" << "2026- 3- 5";
    QTest::newRow("edit: no such day, click") << "Tedit_shouru" << "20260230" << "click" << "2012-08-27";
    QTest::newRow("edit: unfinished, enter") << "Tedit_zhichu" << "2026" << "enter" << "2012-08-27";
    QTest::newRow("edit: untouched, enter") << "Tedit_zhichu" << "" << "enter" << "2012-08-27";
    QTest::newRow("edit: whole date, tab") << "Tedit_shouru" << "20261101" << "tab" << "2026-11- 1";
}

void TestEntryDialogs::dateStoredWholeOrLastDate()
{
    QFETCH(QString, name);
    QFETCH(QString, keys);
    QFETCH(QString, leave);
    QFETCH(QString, stored);
    Env env;
    auto d = makeDialog(name, &env.dm);
    const bool income = d->kind() == EntryDialog::Kind::Income;
    if (d->mode() == EntryDialog::Mode::Edit) {
        const QString bid = env.addEntry(income ? "收入" : "支出", "s", "1.00", "1.00", "0.00");
        d->loadEntry(bid, "s", "c", "2012-08-27", "1.00", "1.00", "0.00");
    } else {
        d->setBookKey("1");
    }
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    typeText(f.summary, "s");
    typeText(f.counterparty, "c");
    QLineEdit *date = f.date->lineEdit();
    date->setFocus(Qt::TabFocusReason);
    if (!keys.isEmpty()) {
        QTest::keyClick(date, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(date, keys);
    }
    if (leave == QLatin1String("tab")) {
        QTest::keyClick(date, Qt::Key_Tab);
        QCOMPARE(f.date->shownText(), stored == QLatin1String("today") ? today() : stored);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (leave == QLatin1String("enter")) {
        QTest::keyClick(date, Qt::Key_Return);
    } else {
        QTest::mouseClick(f.save, Qt::LeftButton);
    }
    QVERIFY(!d->isVisible());
    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["b2"], stored == QLatin1String("today") ? today() : stored);
}

void TestEntryDialogs::expenseGoesToExpenseColumns()
{
    Env env;
    Tnew_zhichu d(&env.dm);
    d.setBookKey("1");
    QVERIFY(showActive(&d));
    Fields f(&d);
    f.summary->setText("房租");
    f.counterparty->setText("房东");
    retype(f.total, "30");
    retype(f.settled, "10");
    QTest::mouseClick(f.save, Qt::LeftButton);
    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["b1"], QString("支出"));
    QVERIFY(rows[0]["b5"].isNull() && rows[0]["b6"].isNull() && rows[0]["b7"].isNull());
    QCOMPARE(QStringList({rows[0]["b8"], rows[0]["b9"], rows[0]["b10"]}), QStringList({"30.00", "10.00", "20.00"}));
    QCOMPARE(env.dm.Query_count_zhichu->value(0, 0), QString("30"));
    QCOMPARE(env.dm.Query_count_yingfu->value(0, 0), QString("20"));
    QCOMPARE(env.dm.Query_count_shouru->value(0, 0), QString());
}

void TestEntryDialogs::requiredFields_data()
{
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("counterparty");
    QTest::addColumn<QString>("total");
    QTest::addColumn<bool>("refused");
    QTest::newRow("summary empty") << "" << "单位" << "5" << true;
    QTest::newRow("counterparty empty") << "摘要" << "" << "5" << true;
    QTest::newRow("total empty") << "摘要" << "单位" << "" << true;
    QTest::newRow("all empty") << "" << "" << "" << true;
    QTest::newRow("blanks pass") << "  " << " " << "5" << false;
}

void TestEntryDialogs::requiredFields()
{
    QFETCH(QString, summary);
    QFETCH(QString, counterparty);
    QFETCH(QString, total);
    QFETCH(bool, refused);
    Env env;
    Tnew_shouru d(&env.dm);
    d.setBookKey("1");
    QVERIFY(showActive(&d));
    Fields f(&d);
    typeText(f.summary, summary);
    typeText(f.counterparty, counterparty);
    retype(f.total, total);
    const int phrases = env.phraseCount("a1");
    // Enter in the total: a click on "保  存" would first rewrite an empty total to 0.00.
    QTest::keyClick(f.total, Qt::Key_Return);

    if (refused) {
        QCOMPARE(msg::shown().size(), 1);
        QCOMPARE(msg::lastShown().kind, msg::Kind::Information);
        QCOMPARE(msg::lastShown().text, kRequired);
        QVERIFY(d.isVisible());
        QCOMPARE(f.summary->text(), summary);
        QVERIFY(env.entries().isEmpty());
        QCOMPARE(env.phraseCount("a1"), phrases);
    } else {
        QVERIFY(msg::shown().isEmpty());
        QVERIFY(!d.isVisible());
        const auto rows = env.entries();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]["b3"], summary);
        QCOMPARE(rows[0]["b4"], counterparty);
    }
}

void TestEntryDialogs::loneMinusTotalStoredAsNumber()
{
    Env env;
    Tnew_shouru d(&env.dm);
    d.setBookKey("1");
    QVERIFY(showActive(&d));
    Fields f(&d);
    f.summary->setText("a");
    f.counterparty->setText("b");
    retype(f.total, "8");
    retype(f.outstanding, "-");
    retype(f.total, "-");  // the value stays 8
    QCOMPARE(f.total->text(), QString("-"));
    QTest::keyClick(f.total, Qt::Key_Return);
    QVERIFY(!d.isVisible());
    const auto rows = env.entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]["b5"], QString("8.00"));
    QCOMPARE(rows[0]["b6"], QString("8.00"));
    QCOMPARE(rows[0]["b7"], QString("0.00"));
    QCOMPARE(env.dm.Query_count_shouru->value(0, 0), QString("8"));
}

void TestEntryDialogs::saveRerunsSearchAndTotals()
{
    Env env;
    env.addEntry("收入", "房租", "100.00", "100.00", "0.00");
    env.addEntry("收入", "工资", "50.00", "50.00", "0.00");
    BookRefresh::full(env.dm);
    // A search left in force on the entry list.
    Query *list = env.dm.Query_jz_ab;
    list->close();
    list->setSql("select * from jz_ab where b3 like :p and b14 = :k order by bid desc");
    list->bind(":p", "%房%");
    list->bind(":k", "1");
    list->open();
    QCOMPARE(list->rowCount(), 1);

    Tnew_shouru d(&env.dm);
    for (const QString &summary : {QStringLiteral("奖金"), QStringLiteral("房屋押金")}) {
        d.setBookKey("1");
        QVERIFY(showActive(&d));
        Fields f(&d);
        f.summary->setText(summary);
        f.counterparty->setText("x");
        retype(f.total, "1");
        QTest::keyClick(f.total, Qt::Key_Return);
        QVERIFY(!d.isVisible());
    }
    // Only the match shows, newest first; the totals cover the whole book.
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(list->value(0, "b3"), QString("房屋押金"));
    QCOMPARE(list->value(1, "b3"), QString("房租"));
    QCOMPARE(env.dm.Query_count_shouru->value(0, 0), QString("152"));
    QCOMPARE(env.entries().size(), 4);
}

void TestEntryDialogs::phraseListsGrowNewestFirst()
{
    Env env;
    Tnew_zhichu d(&env.dm);
    const QStringList summaries{"午餐", "午餐", "车费"};
    for (int i = 0; i < summaries.size(); ++i) {
        d.setBookKey("1");
        QVERIFY(showActive(&d));
        Fields f(&d);
        f.summary->setText(summaries[i]);
        f.counterparty->setText(QStringLiteral("店%1").arg(i));
        retype(f.total, "3");
        QTest::mouseClick(f.save, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(env.dm.Query_jz_a1->rowCount(), i + 1);
        QCOMPARE(env.dm.Query_jz_a2->rowCount(), i + 1);
        QCOMPARE(env.dm.Query_jz_a1->value(0, "z1"), summaries[i]);
        QCOMPARE(env.dm.Query_jz_a2->value(0, "z1"), QStringLiteral("店%1").arg(i));
        QCOMPARE(env.dm.Query_jz_a1->currentRow(), 0);
    }
    QCOMPARE(env.dm.Query_jz_a1->value(1, "z1"), QString("午餐"));
    QCOMPARE(env.dm.Query_jz_a1->value(2, "z1"), QString("午餐"));
}

// A failure after the entry is stored (its phrase) closes the dialog, so a second 保  存
// cannot store it twice, and the steps after the failed one still run. A failure of the
// write itself keeps the dialog open with nothing stored; the retry stores the entry once.
void TestEntryDialogs::failedSaveNeverStoresTwice_data()
{
    QTest::addColumn<bool>("entryFails");
    QTest::newRow("phrase fails after the entry") << false;
    QTest::newRow("entry write fails") << true;
}

void TestEntryDialogs::failedSaveNeverStoresTwice()
{
    QFETCH(bool, entryFails);
    Env env;
    if (entryFails)
        env.dm.conn_jz_m.exec("create trigger refuse before insert on jz_ab begin select raise(abort, 'refused'); end");
    else
        env.dm.conn_jz_f.exec("create trigger refuse before insert on a2 begin select raise(abort, 'refused'); end");
    Tnew_shouru d(&env.dm);
    d.setBookKey("1");
    QVERIFY(showActive(&d));
    Fields f(&d);
    f.summary->setText("s");
    f.counterparty->setText("c");
    retype(f.total, "4");
    QTest::mouseClick(f.save, Qt::LeftButton);

    QCOMPARE(msg::lastShown().kind, msg::Kind::Error);
    QVERIFY(msg::lastShown().text.contains("refused"));
    QCOMPARE(d.isVisible(), entryFails);
    QCOMPARE(env.entries().size(), entryFails ? 0 : 1);
    QCOMPARE(env.phraseCount("a1"), entryFails ? 0 : 1);
    QCOMPARE(env.phraseCount("a2"), 0);
    if (entryFails) {
        env.dm.conn_jz_m.exec("drop trigger refuse");
        QTest::mouseClick(f.save, Qt::LeftButton);
        QVERIFY(!d.isVisible());
    }
    // One entry, listed and totalled.
    QCOMPARE(env.entries().size(), 1);
    QCOMPARE(env.dm.Query_jz_ab->rowCount(), 1);
    QCOMPARE(env.dm.Query_jz_a1->rowCount(), 1);
    QCOMPARE(env.dm.Query_count_shouru->value(0, 0), QString("4"));
}

void TestEntryDialogs::onShowResetsNewDialog()
{
    Env env;
    Tnew_shouru d(&env.dm);
    d.setBookKey("7");
    QVERIFY(showActive(&d));
    Fields f(&d);
    f.summary->setText("s");
    f.counterparty->setText("c");
    f.date->setText("2001- 2- 3");
    retype(f.total, "9");
    retype(f.outstanding, "4");
    QTest::mouseClick(f.cancel, Qt::LeftButton);
    QVERIFY(!d.isVisible());
    QVERIFY(env.entries().isEmpty());

    QVERIFY(showActive(&d));
    QCOMPARE(f.amounts(), QStringList({"0.00", "0.00", "0.00"}));
    QCOMPARE(f.total->value(), 0.0);
    QCOMPARE(f.date->text(), today());
    QCOMPARE(f.summary->text(), QString());
    QCOMPARE(f.counterparty->text(), QString());
    QCOMPARE(d.bookKey(), QString("7"));
    // Closing from the title bar stores nothing either.
    d.close();
    QVERIFY(env.entries().isEmpty());
}

void TestEntryDialogs::editorOpensWithStoredTexts_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("consistent") << QStringList{"100.00", "80.00", "20.00"};
    QTest::newRow("no decimals") << QStringList{"100", "80", "20"};
    QTest::newRow("outstanding typed by hand") << QStringList{"100.00", "80.00", "5.00"};
    QTest::newRow("settled equals total") << QStringList{"100", "100.00", "0.00"};
    QTest::newRow("negative outstanding") << QStringList{"10.00", "15.00", "-5.00"};
}

void TestEntryDialogs::editorOpensWithStoredTexts()
{
    QFETCH(QStringList, stored);
    Env env;
    Tedit_shouru d(&env.dm);
    Fields f(&d);
    // A previous use leaves other values behind: the new filling must not depend on them.
    for (const QStringList &amounts : {QStringList{"100.00", "30.00", "70.00"}, stored}) {
        d.loadEntry("5", "摘要", "单位", "2012- 8-27", amounts[0], amounts[1], amounts[2]);
        QVERIFY(showActive(&d));
        QCOMPARE(f.amounts(), amounts);
        QCOMPARE(f.summary->text(), QString("摘要"));
        QCOMPARE(f.counterparty->text(), QString("单位"));
        QCOMPARE(f.date->text(), QString("2012- 8-27"));
        QCOMPARE(d.entryNumber(), QString("5"));
        d.hide();
    }
    // No reset on show: showing again keeps what was loaded.
    QVERIFY(showActive(&d));
    QCOMPARE(f.amounts(), stored);
    // Changing the total in the editor: settled follows, outstanding 0.00.
    retype(f.total, "60");
    QCOMPARE(f.amounts(), QStringList({"60", "60.00", "0.00"}));
}

void TestEntryDialogs::editorKeepsKindAndBook_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("income") << "收入";
    QTest::newRow("expense") << "支出";
}

void TestEntryDialogs::editorKeepsKindAndBook()
{
    QFETCH(QString, kind);
    const bool income = kind == QStringLiteral("收入");
    Env env;
    const QString other = env.addEntry(kind, "旧", "9.00", "9.00", "0.00");
    const QString bid = env.addEntry(kind, "旧摘要", "100", "80", "20");
    BookRefresh::full(env.dm);
    auto d = makeDialog(income ? "Tedit_shouru" : "Tedit_zhichu", &env.dm);
    d->setBookKey("99"); // editors have no book key
    d->loadEntry(bid, "旧摘要", "单位", "2012- 8-27", "100", "80", "20");
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    typeText(f.summary, QStringLiteral("新摘要"));
    retype(f.settled, "30");
    QTest::keyClick(f.settled, Qt::Key_Enter);
    QVERIFY(!d->isVisible());

    const auto rows = env.entries();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1]["bid"], bid);
    QCOMPARE(rows[1]["b1"], kind);
    QCOMPARE(rows[1]["b14"], QString("1"));
    QCOMPARE(rows[1]["b3"], QString("新摘要"));
    QCOMPARE(rows[1]["b4"], QString("单位"));
    QCOMPARE(rows[1]["b2"], QString("2012- 8-27"));
    const QStringList mine = income ? QStringList{"b5", "b6", "b7"} : QStringList{"b8", "b9", "b10"};
    const QStringList theirs = income ? QStringList{"b8", "b9", "b10"} : QStringList{"b5", "b6", "b7"};
    QCOMPARE(QStringList({rows[1][mine[0]], rows[1][mine[1]], rows[1][mine[2]]}),
             QStringList({"100", "30", "70.00"}));
    for (const QString &c : theirs)
        QVERIFY(rows[1][c].isNull());
    QCOMPARE(rows[0]["b3"], QString("旧"));     // the other entry is untouched
    QCOMPARE(rows[0]["bid"], other);
    QCOMPARE(env.dm.Query_jz_a1->value(0, "z1"), QString("新摘要"));
    QCOMPARE(env.dm.Query_jz_a2->value(0, "z1"), QString("单位"));
    QCOMPARE(env.dm.totalQuery(income ? 0 : 3)->value(0, 0), QString("109"));
    QCOMPARE(env.dm.totalQuery(income ? 2 : 5)->value(0, 0), QString("70"));
}

void TestEntryDialogs::editorRefusesNonNumberTotal()
{
    Env env;
    Tedit_zhichu d(&env.dm);
    try {
        d.loadEntry("3", "s", "c", "2012- 8-27", "-", "5.00", "1.00");
        QFAIL("no exception");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromUtf8(e.what()), QString("'-' is not a valid floating point value"));
    }
    QVERIFY(msg::shown().isEmpty());
    // A settled text of the value the field holds computes nothing and loads fine.
    Tedit_zhichu fresh(&env.dm);
    fresh.loadEntry("3", "s", "c", "2012- 8-27", "-", "0.00", "1.00");
    Fields f(&fresh);
    QCOMPARE(f.amounts(), QStringList({"-", "0.00", "1.00"}));
}

QTEST_MAIN(TestEntryDialogs)
#include "tst_entry_dialogs.moc"

namespace {

// The amount field's own line edit: where a click at the field's middle lands.
QLineEdit *input(AmountField *f) { return f->findChild<QLineEdit *>(); }

// A stored amount normalised to two decimals, for exact comparison.
QString cents(const QString &amount) { return AmountField::difference(amount, QStringLiteral("0")); }

// Opens a new dialog, or an editor on an entry stored with 1.00 / 1.00 / 0.00, as the user
// finds it; returns the entry's number (empty for a new dialog).
QString openForTyping(EntryDialog *d, Env &env)
{
    const bool income = d->kind() == EntryDialog::Kind::Income;
    QString bid;
    if (d->mode() == EntryDialog::Mode::Edit) {
        bid = env.addEntry(income ? "收入" : "支出", "s", "1.00", "1.00", "0.00");
        d->loadEntry(bid, "s", "c", "2012- 8-27", "1.00", "1.00", "0.00");
    } else {
        d->setBookKey("1");
    }
    return bid;
}

QStringList storedAmounts(Env &env, EntryDialog *d)
{
    const auto rows = env.entries();
    if (rows.size() != 1)
        return {};
    const bool income = d->kind() == EntryDialog::Kind::Income;
    const QStringList columns = income ? QStringList{"b5", "b6", "b7"} : QStringList{"b8", "b9", "b10"};
    return {rows[0][columns[0]], rows[0][columns[1]], rows[0][columns[2]]};
}

} // namespace

void TestEntryDialogs::storedCentsAddUp_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("total"); // what the file holds
    const QList<QPair<const char *, const char *>> cases{
        {"0.125", "0.12"}, {"12.345", "12.34"}, {"2.675", "2.67"}, {"1.005", "1.00"},
        {"100.005", "100.00"}, {"-2.675", "-2.67"}, {"123456789012.345", "123456789012.34"},
        {".125", "0.12"}};
    for (const char *name : {"Tnew_shouru", "Tnew_zhichu", "Tedit_shouru", "Tedit_zhichu"}) {
        for (const auto &[text, total] : cases) {
            QTest::addRow("%s, typed %s", name, text) << name << false << text << total;
            // A paste goes in whole or not at all: the total stays as it was.
            const char *before = QByteArray(name).startsWith("Tnew") ? "0.00" : "1.00";
            QTest::addRow("%s, pasted %s", name, text) << name << true << text << before;
        }
    }
}

void TestEntryDialogs::storedCentsAddUp()
{
    QFETCH(QString, name);
    QFETCH(bool, paste);
    QFETCH(QString, text);
    QFETCH(QString, total);
    Env env;
    auto d = makeDialog(name, &env.dm);
    openForTyping(d.get(), env);
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    QSignalSpy refused(f.total, &AmountField::refused);

    QTest::mouseClick(f.total, Qt::LeftButton);
    QVERIFY(f.total->hasFocus());
    if (paste) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(f.total, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(f.total, text);
    }
    // The third decimal is refused with the beep, as a second point is.
    QCOMPARE(refused.size(), 1);
    QTest::mouseClick(f.summary, Qt::LeftButton);
    typeText(f.summary, "s");
    QTest::mouseClick(f.counterparty, Qt::LeftButton);
    typeText(f.counterparty, "c");
    QTest::mouseClick(f.save, Qt::LeftButton);
    QVERIFY(!d->isVisible());

    const QStringList stored = storedAmounts(env, d.get());
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored[0], total);
    QCOMPARE(cents(stored[1]), cents(total));
    QCOMPARE(AmountField::difference(stored[0], stored[1]), cents(stored[2]));
}

void TestEntryDialogs::storedMoreDecimalsRounded_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("written"); // by another tool
    QTest::addColumn<QStringList>("shown");
    const QList<QPair<QStringList, QStringList>> cases{
        {{"2.675", "2.675", "0.00"}, {"2.68", "2.68", "0.00"}},
        {{"1.005", "1.005", "0"}, {"1.01", "1.01", "0"}},
        {{"-2.675", "-2.675", "0.00"}, {"-2.68", "-2.68", "0.00"}},
        {{"0.125", "0.125", "0.000"}, {"0.13", "0.13", "0.00"}},
        {{"100.005", "100", "0.005"}, {"100.01", "100", "0.01"}},
        {{"123456789012.345", "123456789012.345", "0.00"}, {"123456789012.35", "123456789012.35", "0.00"}},
        {{".125", ".125", "0.00"}, {"0.13", "0.13", "0.00"}},
        {{"9.995", "5", "4.995"}, {"10.00", "5", "5.00"}},
        {{"-0.004", "-0.004", "0.00"}, {"0.00", "0.00", "0.00"}}};
    for (const char *name : {"Tedit_shouru", "Tedit_zhichu"})
        for (const auto &[written, shown] : cases)
            QTest::addRow("%s, %s", name, qPrintable(written.join(" / "))) << name << written << shown;
}

void TestEntryDialogs::storedMoreDecimalsRounded()
{
    QFETCH(QString, name);
    QFETCH(QStringList, written);
    QFETCH(QStringList, shown);
    Env env;
    auto d = makeDialog(name, &env.dm);
    const bool income = d->kind() == EntryDialog::Kind::Income;
    const QString bid = env.addEntry(income ? "收入" : "支出", "s", written[0], written[1], written[2]);
    d->loadEntry(bid, "s", "c", "2012- 8-27", written[0], written[1], written[2]);
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    QCOMPARE(f.amounts(), shown);
    QTest::mouseClick(f.save, Qt::LeftButton);
    QVERIFY(!d->isVisible());
    const QStringList stored = storedAmounts(env, d.get());
    QCOMPARE(stored, shown);
    QCOMPARE(AmountField::difference(stored[0], stored[1]), cents(stored[2]));
}

void TestEntryDialogs::clickIntoAmountSelectsAll_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"Tnew_shouru", "Tnew_zhichu", "Tedit_shouru", "Tedit_zhichu"})
        QTest::newRow(name) << name;
}

void TestEntryDialogs::clickIntoAmountSelectsAll()
{
    QFETCH(QString, name);
    Env env;
    auto d = makeDialog(name, &env.dm);
    openForTyping(d.get(), env);
    QVERIFY(showActive(d.get()));
    Fields f(d.get());
    typeText(f.summary, "s");
    typeText(f.counterparty, "c");
    const QString before = f.total->text();

    // A click brings the focus and selects the whole text: typing replaces it.
    QTest::mouseClick(f.total, Qt::LeftButton);
    QCOMPARE(input(f.total)->selectedText(), before);
    QTest::keyClicks(f.total, "12");
    QCOMPARE(f.amounts(), QStringList({"12", "12.00", "0.00"}));

    // A second click inside the focused field places the cursor: here after the text.
    QLineEdit *line = input(f.total);
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() - 3, line->height() / 2));
    QVERIFY(!line->hasSelectedText());
    QCOMPARE(line->cursorPosition(), 2);

    // Tab into the settled amount selects it all too; digits after its two decimals are
    // refused with the beep, not dropped silently.
    QTest::keyClick(f.total, Qt::Key_Tab);
    QCOMPARE(input(f.settled)->selectedText(), QString("12.00"));
    QTest::keyClick(f.settled, Qt::Key_End);
    QSignalSpy refused(f.settled, &AmountField::refused);
    QTest::keyClicks(f.settled, "5");
    QCOMPARE(refused.size(), 1);
    QCOMPARE(f.settled->text(), QString("12.00"));

    QTest::mouseClick(f.save, Qt::LeftButton);
    QCOMPARE(storedAmounts(env, d.get()), QStringList({"12.00", "12.00", "0.00"}));
}
