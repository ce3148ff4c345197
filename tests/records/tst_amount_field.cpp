#include <QtTest>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QVBoxLayout>

#include <stdexcept>

#include "records/amount_field.h"

namespace {

// Exposes the style option so a test can find the spin buttons.
class ProbeField : public AmountField
{
public:
    using AmountField::AmountField;
    QRect buttonRect(QStyle::SubControl sc) const
    {
        QStyleOptionSpinBox opt;
        initStyleOption(&opt);
        return style()->subControlRect(QStyle::CC_SpinBox, &opt, sc, this);
    }
};

// A small dialog as the entry dialogs have it: the field, a second field to take the
// focus, and a default button.
struct Fixture
{
    QDialog dialog;
    ProbeField *field = new ProbeField(&dialog);
    AmountField *other = new AmountField(&dialog);
    QPushButton *save = new QPushButton(QStringLiteral("保  存"), &dialog);
    QSignalSpy changed{field, &AmountField::changed};
    QSignalSpy refused{field, &AmountField::refused};
    QSignalSpy saved{save, &QPushButton::clicked};

    Fixture()
    {
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(field);
        layout->addWidget(other);
        layout->addWidget(save);
        save->setDefault(true);
        dialog.show();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("dialog did not become active");
        field->setFocus(Qt::OtherFocusReason);
    }
    // An empty field with the focus, signals counted from here.
    void startEmpty()
    {
        field->setText(QString());
        changed.clear();
        refused.clear();
    }
};

} // namespace

class TestAmountField : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initialState();
    void typing_data();
    void typing();
    void focusLossRewrites_data();
    void focusLossRewrites();
    void focusToPopupKeepsText();
    void setValueAlwaysEmits();
    void setTextStandsAsSet();
    void stepping();
    void spinButtons();
    void enterReachesDefaultButton_data();
    void enterReachesDefaultButton();
    void paste_data();
    void paste();
    void wellFormed_data();
    void wellFormed();
    void difference_data();
    void difference();
    void differenceRefusesNonNumbers_data();
    void differenceRefusesNonNumbers();
    void storedText_data();
    void storedText();
};

void TestAmountField::initialState()
{
    AmountField field;
    QCOMPARE(field.value(), 0.0);
    QCOMPARE(field.text(), QStringLiteral("0.00"));
    QVERIFY(field.font().bold());
    QCOMPARE(field.buttonSymbols(), QAbstractSpinBox::UpDownArrows);
}

void TestAmountField::typing_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("changes");
    QTest::addColumn<int>("refusals");

    QTest::newRow("integer stays as typed") << "12" << "12" << 12.0 << 2 << 0;
    QTest::newRow("decimals, trailing point keeps value") << "12.5" << "12.5" << 12.5 << 3 << 0;
    QTest::newRow("zero is no change") << "0" << "0" << 0.0 << 0 << 0;
    QTest::newRow("lone minus is taken, value stays") << "-" << "-" << 0.0 << 0 << 0;
    QTest::newRow("negative") << "-5" << "-5" << -5.0 << 1 << 0;
    QTest::newRow("second minus refused") << "-5-" << "-5" << -5.0 << 1 << 1;
    QTest::newRow("minus not first: taken, not well-formed") << "5-" << "5-" << 5.0 << 1 << 0;
    QTest::newRow("second point refused") << "1.2.3" << "1.23" << 1.23 << 3 << 1;
    // A typed .5 is half a unit: leaving the value at 0 would store another amount.
    QTest::newRow("point first: the value follows") << ".5" << ".5" << 0.5 << 1 << 0;
    QTest::newRow("minus point five") << "-.5" << "-.5" << -0.5 << 1 << 0;
    QTest::newRow("third decimal refused") << "1.2345" << "1.23" << 1.23 << 3 << 2;
    QTest::newRow("digits after two decimals refused") << "0.00123" << "0.00" << 0.0 << 0 << 3;
    QTest::newRow("minus point is no number") << "-." << "-." << 0.0 << 0 << 0;
    QTest::newRow("letter refused") << "1a2" << "12" << 12.0 << 2 << 1;
    QTest::newRow("blank, plus, comma refused") << " +,7" << "7" << 7.0 << 1 << 3;
    QTest::newRow("15 characters at most, silently")
        << "1234567890123456" << "123456789012345" << 123456789012345.0 << 15 << 0;
}

void TestAmountField::typing()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(int, changes);
    QFETCH(int, refusals);

    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, keys);
    QCOMPARE(f.field->text(), text);
    QCOMPARE(f.field->value(), value);
    QCOMPARE(f.changed.count(), changes);
    QCOMPARE(f.refused.count(), refusals);
}

void TestAmountField::focusLossRewrites_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("rewritten");
    QTest::addColumn<int>("reason");

    QTest::newRow("tab") << "12" << "12.00" << int(Qt::TabFocusReason);
    QTest::newRow("mouse") << "12.5" << "12.50" << int(Qt::MouseFocusReason);
    QTest::newRow("no grouping") << "1234.5" << "1234.50" << int(Qt::OtherFocusReason);
    QTest::newRow("negative") << "-3" << "-3.00" << int(Qt::TabFocusReason);
    QTest::newRow("lone minus shows the kept value") << "-" << "0.00" << int(Qt::TabFocusReason);
    QTest::newRow("third decimal refused") << "2.125" << "2.12" << int(Qt::TabFocusReason);
}

void TestAmountField::focusLossRewrites()
{
    QFETCH(QString, keys);
    QFETCH(QString, rewritten);
    QFETCH(int, reason);

    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, keys);
    const double value = f.field->value();
    f.changed.clear();

    f.other->setFocus(Qt::FocusReason(reason));
    QVERIFY(f.other->hasFocus());
    QCOMPARE(f.field->text(), rewritten);
    QCOMPARE(f.field->value(), value);
    QCOMPARE(f.changed.count(), 0);
}

void TestAmountField::focusToPopupKeepsText()
{
    // A menu or a message box taking over leaves the typed text; only a real move rewrites.
    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, "12");
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(f.field, &popup);
    QCOMPARE(f.field->text(), QStringLiteral("12"));
    QFocusEvent window(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f.field, &window);
    QCOMPARE(f.field->text(), QStringLiteral("12"));
}

void TestAmountField::setValueAlwaysEmits()
{
    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, "12");
    f.changed.clear();

    f.field->setValue(12); // same number
    QCOMPARE(f.changed.count(), 1);
    QCOMPARE(f.field->text(), QStringLiteral("12.00"));
    f.field->setValue(12);
    QCOMPARE(f.changed.count(), 2);
    f.field->setValue(1234.5);
    QCOMPARE(f.field->text(), QStringLiteral("1234.50"));
    f.field->setValue(-3);
    QCOMPARE(f.field->text(), QStringLiteral("-3.00"));
    f.field->setValue(-0.001);
    QCOMPARE(f.field->text(), QStringLiteral("0.00"));
    f.field->setValue(1e15); // longer than the typing limit: program-set texts stand whole
    QCOMPARE(f.field->text(), QStringLiteral("1000000000000000.00"));
    QCOMPARE(f.changed.count(), 6);
}

void TestAmountField::setTextStandsAsSet()
{
    Fixture f;
    f.field->setText(QStringLiteral("0.00"));
    f.changed.clear();

    f.field->setText(QStringLiteral("100"));
    QCOMPARE(f.field->text(), QStringLiteral("100"));
    QCOMPARE(f.field->value(), 100.0);
    QCOMPARE(f.changed.count(), 1);

    f.field->setText(QStringLiteral("100.00")); // same number: no change
    QCOMPARE(f.field->text(), QStringLiteral("100.00"));
    QCOMPARE(f.changed.count(), 1);

    f.field->setText(QStringLiteral("-"));
    QCOMPARE(f.field->text(), QStringLiteral("-"));
    QCOMPARE(f.field->value(), 100.0);
    QCOMPARE(f.changed.count(), 1);

    f.field->setText(QStringLiteral("80"));
    QCOMPARE(f.field->value(), 80.0);
    QCOMPARE(f.changed.count(), 2);

    const QString stored = QStringLiteral("12345678901234567.5");
    f.field->setText(stored);
    QCOMPARE(f.field->text(), stored);
    QCOMPARE(f.field->value(), 12345678901234567.5);
}

void TestAmountField::stepping()
{
    Fixture f;
    f.field->setText(QStringLiteral("0.00"));
    f.changed.clear();

    QTest::keyClick(f.field, Qt::Key_Up);
    QCOMPARE(f.field->text(), QStringLiteral("1.00"));
    QCOMPARE(f.field->value(), 1.0);
    QCOMPARE(f.changed.count(), 1);

    QTest::keyClick(f.field, Qt::Key_Down);
    QTest::keyClick(f.field, Qt::Key_Down);
    QCOMPARE(f.field->text(), QStringLiteral("-1.00"));
    QCOMPARE(f.changed.count(), 3);

    // From a typed text and from a text that is no number (the kept value steps).
    f.startEmpty();
    QTest::keyClicks(f.field, "12.5");
    QTest::keyClick(f.field, Qt::Key_Up);
    QCOMPARE(f.field->text(), QStringLiteral("13.50"));
    f.field->setText(QStringLiteral("-"));
    QTest::keyClick(f.field, Qt::Key_Up);
    QCOMPARE(f.field->text(), QStringLiteral("14.50"));

    // Only the arrows step.
    QTest::keyClick(f.field, Qt::Key_PageUp);
    QCOMPARE(f.field->text(), QStringLiteral("14.50"));
}

void TestAmountField::spinButtons()
{
    Fixture f;
    f.field->setValue(5);
    f.changed.clear();
    const QRect up = f.field->buttonRect(QStyle::SC_SpinBoxUp);
    const QRect down = f.field->buttonRect(QStyle::SC_SpinBoxDown);
    QVERIFY(up.isValid() && down.isValid());

    QTest::mouseClick(f.field, Qt::LeftButton, {}, up.center());
    QCOMPARE(f.field->text(), QStringLiteral("6.00"));
    QCOMPARE(f.changed.count(), 1);
    QTest::mouseClick(f.field, Qt::LeftButton, {}, down.center());
    QTest::mouseClick(f.field, Qt::LeftButton, {}, down.center());
    QCOMPARE(f.field->text(), QStringLiteral("4.00"));
    QCOMPARE(f.changed.count(), 3);
}

void TestAmountField::enterReachesDefaultButton_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("enter") << int(Qt::Key_Enter);
}

void TestAmountField::enterReachesDefaultButton()
{
    QFETCH(int, key);
    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, "12");
    QTest::keyClick(f.field, Qt::Key(key));
    QCOMPARE(f.saved.count(), 1);
    // The field keeps the focus, so the text is still as typed.
    QCOMPARE(f.field->text(), QStringLiteral("12"));
    QVERIFY(f.field->hasFocus());
}

void TestAmountField::paste_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("refusals");

    QTest::newRow("number") << "" << false << "42.5" << "42.5" << 0;
    QTest::newRow("surrounding blanks dropped") << "" << false << " 42\n" << "42" << 0;
    QTest::newRow("letter refuses all") << "" << false << "4a2" << "" << 1;
    QTest::newRow("second minus refused") << "-5" << false << "-1" << "-5" << 1;
    QTest::newRow("second point refused") << "5." << false << "1.5" << "5." << 1;
    QTest::newRow("too long refused") << "1234567890" << false << "123456" << "1234567890" << 1;
    // What the paste replaces no longer counts.
    QTest::newRow("minus over a selected minus") << "-5" << true << "-1" << "-1" << 0;
    QTest::newRow("point over a selected point") << "5.5" << true << "2.5" << "2.5" << 0;
    QTest::newRow("full field replaced") << "123456789012345" << true << "-1.5" << "-1.5" << 0;
}

void TestAmountField::paste()
{
    QFETCH(QString, start);
    QFETCH(bool, selectAll);
    QFETCH(QString, clip);
    QFETCH(QString, text);
    QFETCH(int, refusals);

    Fixture f;
    f.startEmpty();
    QTest::keyClicks(f.field, start);
    if (selectAll)
        QTest::keyClick(f.field, Qt::Key_A, Qt::ControlModifier);
    f.refused.clear();
    QGuiApplication::clipboard()->setText(clip);
    QTest::keySequence(f.field, QKeySequence::Paste);
    QCOMPARE(f.field->text(), text);
    QCOMPARE(f.refused.count(), refusals);
}

void TestAmountField::wellFormed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("integer") << "12" << true;
    QTest::newRow("negative decimal") << "-12.5" << true;
    QTest::newRow("trailing point") << "5." << true;
    QTest::newRow("minus point digits") << "-.5" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("lone minus") << "-" << false;
    QTest::newRow("minus not first") << "5-" << false;
    QTest::newRow("two minus") << "--5" << false;
    QTest::newRow("point first") << ".5" << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("blank") << "1 2" << false;
    QTest::newRow("exponent") << "1e3" << false;
}

void TestAmountField::wellFormed()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QCOMPARE(AmountField::isWellFormed(text), ok);
}

void TestAmountField::difference_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("settled");
    QTest::addColumn<QString>("result");

    QTest::newRow("remainder") << "12" << "5" << "7.00";
    QTest::newRow("negative stands") << "12" << "15.00" << "-3.00";
    QTest::newRow("exact tenths") << "0.1" << "0.3" << "-0.20";
    QTest::newRow("equal, no minus zero") << "12.00" << "12" << "0.00";
    QTest::newRow("tiny negative, no minus zero") << "0" << "0.004" << "0.00";
    QTest::newRow("half up") << "0.005" << "0" << "0.01";
    QTest::newRow("half away from zero") << "0" << "0.005" << "-0.01";
    QTest::newRow("below half") << "0.0049" << "0" << "0.00";
    QTest::newRow("fifth decimal rounds to four first") << "0.00995" << "0" << "0.01";
    QTest::newRow("fifth decimal below half dropped") << "0.00494" << "0" << "0.00";
    QTest::newRow("large exact") << "100000000000.1" << "0.1" << "100000000000.00";
    QTest::newRow("beyond double precision") << "9999999999999999.99" << "-0.01" << "10000000000000000.00";
    QTest::newRow("exponent") << "1e3" << "1" << "999.00";
    QTest::newRow("surrounding blanks") << " 12 " << "2" << "10.00";
    QTest::newRow("plus sign, trailing point") << "+5." << "-.5" << "5.50";
}

void TestAmountField::difference()
{
    QFETCH(QString, total);
    QFETCH(QString, settled);
    QFETCH(QString, result);
    QCOMPARE(AmountField::difference(total, settled), result);
}

void TestAmountField::differenceRefusesNonNumbers_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("settled");
    QTest::addColumn<QString>("message");

    QTest::newRow("lone minus total") << "-" << "0.00" << "'-' is not a valid floating point value";
    QTest::newRow("empty total") << "" << "5" << "'' is not a valid floating point value";
    QTest::newRow("bad settled") << "12" << "5-" << "'5-' is not a valid floating point value";
    QTest::newRow("lone point") << "." << "1" << "'.' is not a valid floating point value";
    QTest::newRow("infinity") << "inf" << "1" << "'inf' is not a valid floating point value";
}

void TestAmountField::differenceRefusesNonNumbers()
{
    QFETCH(QString, total);
    QFETCH(QString, settled);
    QFETCH(QString, message);
    try {
        AmountField::difference(total, settled);
        QFAIL("no exception");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromStdString(e.what()), message);
    }
}

void TestAmountField::storedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("typed number as typed") << "12" << 12.0 << "12";
    QTest::newRow("rewritten") << "12.00" << 12.0 << "12.00";
    QTest::newRow("lone minus") << "-" << 7.0 << "7.00";
    QTest::newRow("minus point") << "-." << 0.0 << "0.00";
    QTest::newRow("point first: a number all the same") << ".5" << 3.0 << ".5";
    QTest::newRow("minus point five") << "-.5" << 3.0 << "-.5";
    QTest::newRow("trailing point") << "5." << 3.0 << "5.";
    QTest::newRow("minus later") << "12-" << 12.0 << "12.00";
}

void TestAmountField::storedText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(QString, stored);
    QCOMPARE(AmountField::storedText(text, value), stored);
}

QTEST_MAIN(TestAmountField)
#include "tst_amount_field.moc"
