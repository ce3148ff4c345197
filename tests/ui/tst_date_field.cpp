#include <QtTest>
#include <QCalendarWidget>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/date_field.h"
#include "ui/skin.h"

namespace {

// The date field between two other fields, as in the entry dialogs.
struct Fixture
{
    QDialog dialog;
    QLineEdit *before = new QLineEdit(&dialog);
    DateField *field = new DateField(&dialog);
    QLineEdit *after = new QLineEdit(&dialog);
    QPushButton *save = new QPushButton(QStringLiteral("保  存"), &dialog);

    Fixture()
    {
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(before);
        layout->addWidget(field);
        layout->addWidget(after);
        layout->addWidget(save);
        save->setDefault(true);
        save->setAutoDefault(false);
        dialog.show();
        dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&dialog))
            qWarning("dialog did not become active");
    }
    QTableView *calendarView() const
    {
        return field->calendar()->findChild<QTableView *>();
    }
    // The cell of the calendar that shows the given day of the month shown. Days 15 and 16
    // appear once only, whatever the month.
    QPoint dayCell(int day) const
    {
        QTableView *view = calendarView();
        const QAbstractItemModel *model = view->model();
        for (int r = 0; r < model->rowCount(); ++r)
            for (int c = 0; c < model->columnCount(); ++c) {
                const QModelIndex idx = model->index(r, c);
                if (model->data(idx).toString() == QString::number(day))
                    return view->visualRect(idx).center();
            }
        return {};
    }
};

// The pixels a tool button with a menu paints for its text (text) or for its menu arrow (not
// text): the difference between renderings with and without that part.
QRect paintedPart(QToolButton *button, bool text)
{
    const auto render = [button] {
        QImage image(button->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        button->render(&image);
        return image;
    };
    const QString caption = button->text();
    QMenu *menu = button->menu();
    QImage with;
    QImage without;
    if (text) {
        with = render();
        button->setText(QString());
        without = render();
    } else {
        button->setText(QString());
        with = render();
        button->setMenu(nullptr);
        without = render();
        button->setMenu(menu);
    }
    button->setText(caption);
    QRect part;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                part |= QRect(x, y, 1, 1);
    return part;
}

} // namespace

class TestDateField : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // As the program runs: Chinese month and day names, the skin.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        Skin::apply(*qApp);
    }
    void format_data();
    void format();
    void setTextShowsAsGiven_data();
    void setTextShowsAsGiven();
    void setToday();
    void typing_data();
    void typing();
    void enterGoesBackBeforeDefaultButton();
    void tabOrder();
    void calendarLooks();
    void calendarShowsWholeMonth_data();
    void calendarShowsWholeMonth();
    void popupOpensOnShownDate_data();
    void popupOpensOnShownDate();
    void pickingWithMouse();
    void pickingWithKeyboard();
};

void TestDateField::format_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("one-digit month") << QDate(2012, 8, 27) << "2012- 8-27";
    QTest::newRow("two digits") << QDate(2026, 12, 10) << "2026-12-10";
    QTest::newRow("one-digit month and day") << QDate(2000, 1, 1) << "2000- 1- 1";
    QTest::newRow("invalid") << QDate() << "";
}

void TestDateField::format()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QCOMPARE(DateField::format(date), text);
    if (date.isValid())
        QCOMPARE(DateField::parse(text), date);
}

void TestDateField::setTextShowsAsGiven_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("stored form") << "2012- 8-27" << QDate(2012, 8, 27);
    QTest::newRow("two-digit month") << "2025-11-30" << QDate(2025, 11, 30);
    QTest::newRow("leading zeros stay") << "2012-08-27" << QDate(2012, 8, 27);
    QTest::newRow("incomplete") << "2012-  -  " << QDate();
    QTest::newRow("no such day") << "2013- 2-30" << QDate();
    QTest::newRow("short year") << "  12- 8-27" << QDate();
}

void TestDateField::setTextShowsAsGiven()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    Fixture f;
    QSignalSpy spy(f.field, &DateField::textChanged);
    QSignalSpy reverted(f.field, &DateField::reverted);
    f.field->setText(text);
    QCOMPARE(f.field->text(), text);
    QCOMPARE(f.field->lineEdit()->displayText(), text);
    QCOMPARE(f.field->date(), date);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), text);
    // Passing through the field changes nothing the program set, a stored odd date included.
    f.field->setFocus(Qt::TabFocusReason);
    f.after->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.field->text(), text);
    QCOMPARE(f.field->shownText(), text);
    QCOMPARE(reverted.count(), 0);
}

void TestDateField::setToday()
{
    DateField field;
    field.setText(QStringLiteral("2012- 8-27"));
    field.setToday();
    QCOMPARE(field.date(), QDate::currentDate());
    QCOMPARE(field.text(), DateField::format(QDate::currentDate()));
    QCOMPARE(field.text().size(), 10);
}

void TestDateField::typing_data()
{
    // The field held 2001- 2- 3; all of it is selected and the keys typed over it.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("counted");   // text() while the field still has the focus
    QTest::addColumn<QString>("afterFocusLoss");
    QTest::addColumn<int>("reverted");

    const QString last = QStringLiteral("2001- 2- 3");
    QTest::newRow("blank for the leading digit") << "2012 827" << "2012- 8-27" << "2012- 8-27" << "2012- 8-27" << 0;
    QTest::newRow("leading zero tidied") << "20120827" << "2012-08-27" << "2012- 8-27" << "2012- 8-27" << 0;
    QTest::newRow("separators jump") << "2012-8-27" << "2012-8 -27" << "2012- 8-27" << "2012- 8-27" << 0;
    QTest::newRow("letters refused, unfinished") << "20a12" << "2012-  -  " << last << last << 1;
    QTest::newRow("unfinished goes back") << "2012" << "2012-  -  " << last << last << 1;
    QTest::newRow("no such day goes back") << "20260230" << "2026-02-30" << last << last << 1;
    QTest::newRow("no such month goes back") << "20121340" << "2012-13-40" << last << last << 1;
    QTest::newRow("short year goes back") << "  260305" << "  26-03-05" << last << last << 1;
    QTest::newRow("29 February of a leap year") << "20240229" << "2024-02-29" << "2024- 2-29" << "2024- 2-29" << 0;
}

void TestDateField::typing()
{
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QString, counted);
    QFETCH(QString, afterFocusLoss);
    QFETCH(int, reverted);

    Fixture f;
    f.field->setText(QStringLiteral("2001- 2- 3"));
    QSignalSpy spy(f.field, &DateField::reverted);
    f.field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(f.field->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f.field->lineEdit(), keys);
    QCOMPARE(f.field->shownText(), shown);
    QCOMPARE(f.field->text(), counted);
    QCOMPARE(spy.count(), 0);
    f.after->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.field->text(), afterFocusLoss);
    QCOMPARE(f.field->shownText(), afterFocusLoss);
    QCOMPARE(spy.count(), reverted);
}

void TestDateField::enterGoesBackBeforeDefaultButton()
{
    Fixture f;
    f.field->setText(QStringLiteral("2001- 2- 3"));
    QStringList seenBySave;
    connect(f.save, &QPushButton::clicked, f.field, [&] { seenBySave << f.field->shownText() << f.field->text(); });
    QSignalSpy spy(f.field, &DateField::reverted);
    f.field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(f.field->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f.field->lineEdit(), QStringLiteral("20260230"));
    QTest::keyClick(f.field->lineEdit(), Qt::Key_Return);
    QCOMPARE(seenBySave, QStringList({"2001- 2- 3", "2001- 2- 3"}));
    QCOMPARE(spy.count(), 1);
    QVERIFY(f.field->hasFocus());

    // A whole date is tidied before the button sees it.
    seenBySave.clear();
    QTest::keyClick(f.field->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(f.field->lineEdit(), QStringLiteral("20260305"));
    QTest::keyClick(f.field->lineEdit(), Qt::Key_Enter);
    QCOMPARE(seenBySave, QStringList({"2026- 3- 5", "2026- 3- 5"}));
    QCOMPARE(spy.count(), 1);
}

void TestDateField::tabOrder()
{
    Fixture f;
    f.before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(f.before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.field->lineEdit());
    QVERIFY(f.field->hasFocus());
    QTest::keyClick(f.field->lineEdit(), Qt::Key_Tab);
    QVERIFY(f.after->hasFocus()); // the drop-down button is skipped
    QCOMPARE(f.field->dropDownButton()->focusPolicy(), Qt::NoFocus);

    f.field->setFocus(); // the proxy takes it
    QCOMPARE(QApplication::focusWidget(), f.field->lineEdit());
}

void TestDateField::calendarLooks()
{
    Fixture f;
    const QCalendarWidget *cal = f.field->calendar();
    QCOMPARE(cal->firstDayOfWeek(), Qt::Sunday);
    QCOMPARE(cal->verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);
    // 200 x 150 at the least, larger where the calendar needs it to show every day.
    QTest::mouseClick(f.field->dropDownButton(), Qt::LeftButton);
    QTRY_VERIFY(f.field->isPopupVisible());
    QVERIFY(cal->width() >= 200 && cal->height() >= 150);
    QVERIFY(cal->width() >= cal->minimumSizeHint().width());
    QVERIFY(cal->height() >= cal->minimumSizeHint().height());
    f.field->hidePopup();
}

void TestDateField::calendarShowsWholeMonth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("month");
    QTest::newRow("longest month name") << "2026-12-10" << "十二月";
    QTest::newRow("short month name") << "2026- 5-10" << "五月";
}

void TestDateField::calendarShowsWholeMonth()
{
    QFETCH(QString, text);
    QFETCH(QString, month);
    Fixture f;
    f.field->setText(text);
    QTest::mouseClick(f.field->dropDownButton(), Qt::LeftButton);
    QTRY_VERIFY(f.field->isPopupVisible());
    QCalendarWidget *cal = f.field->calendar();

    // The title row and six weeks, every cell whole and tall enough for its text.
    QTableView *view = f.calendarView();
    const QAbstractItemModel *model = view->model();
    QCOMPARE(model->rowCount(), 7);
    QCOMPARE(model->columnCount(), 7);
    const QRect room = view->viewport()->rect();
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 7; ++c) {
            const QModelIndex idx = model->index(r, c);
            const QRect cell = view->visualRect(idx);
            const QSize text = view->fontMetrics().size(0, model->data(idx).toString());
            QVERIFY2(room.contains(cell), qPrintable(QString("cell %1,%2 %3,%4 %5x%6 in %7x%8 cal %9x%10").arg(r).arg(c).arg(cell.x()).arg(cell.y()).arg(cell.width()).arg(cell.height()).arg(room.width()).arg(room.height()).arg(cal->width()).arg(cal->height())));
            QVERIFY2(cell.height() >= text.height() && cell.width() >= text.width(),
                     qPrintable(QString("cell %1,%2").arg(r).arg(c)));
        }

    // The month menu: its name and its arrow side by side, inside the header.
    auto *monthButton = cal->findChild<QToolButton *>("qt_calendar_monthbutton");
    QVERIFY(monthButton);
    QCOMPARE(monthButton->text(), month);
    const QRect name = paintedPart(monthButton, true);
    const QRect arrow = paintedPart(monthButton, false);
    QVERIFY(!name.isEmpty() && !arrow.isEmpty());
    QVERIFY2(!name.intersects(arrow), qPrintable(QString("name %1..%2, arrow %3..%4")
                                                      .arg(name.left()).arg(name.right())
                                                      .arg(arrow.left()).arg(arrow.right())));
    QVERIFY(QRect(QPoint(), monthButton->size()).contains(name | arrow));
    QWidget *header = cal->findChild<QWidget *>("qt_calendar_navigationbar");
    QVERIFY(header);
    QVERIFY(header->height() >= header->sizeHint().height());
    QVERIFY(QRect(QPoint(), header->size()).contains(monthButton->geometry()));

    // The calendar whole inside its popup, and the popup on the screen.
    QWidget *popup = cal->parentWidget();
    QVERIFY(QRect(QPoint(), popup->size()).contains(cal->geometry()));
    QVERIFY(f.field->screen()->availableGeometry().contains(popup->frameGeometry()));
    f.field->hidePopup();
}

void TestDateField::popupOpensOnShownDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("selected");
    QTest::newRow("a date") << "2012- 8-27" << QDate(2012, 8, 27);
    QTest::newRow("no date: today") << "2012-  -  " << QDate::currentDate();
}

void TestDateField::popupOpensOnShownDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, selected);
    Fixture f;
    f.field->setText(text);
    QTest::mouseClick(f.field->dropDownButton(), Qt::LeftButton);
    QTRY_VERIFY(f.field->isPopupVisible());
    QCOMPARE(f.field->calendar()->selectedDate(), selected);
    QCOMPARE(f.field->calendar()->monthShown(), selected.month());
    QCOMPARE(f.field->calendar()->yearShown(), selected.year());
    f.field->hidePopup();
}

void TestDateField::pickingWithMouse()
{
    Fixture f;
    f.field->setText(QStringLiteral("2012- 8-27"));
    QSignalSpy spy(f.field, &DateField::textChanged);
    QTest::mouseClick(f.field->dropDownButton(), Qt::LeftButton);
    QTRY_VERIFY(f.field->isPopupVisible());

    const QPoint cell = f.dayCell(15);
    QVERIFY(!cell.isNull());
    QTest::mouseClick(f.calendarView()->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(f.field->text(), QStringLiteral("2012- 8-15"));
    QVERIFY(!f.field->isPopupVisible());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("2012- 8-15"));
    QTRY_COMPARE(QApplication::focusWidget(), f.field->lineEdit());
}

void TestDateField::pickingWithKeyboard()
{
    Fixture f;
    f.field->setText(QStringLiteral("2012-12-31"));
    f.field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(f.field->lineEdit(), Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(f.field->isPopupVisible());
    QTest::keyClick(f.calendarView(), Qt::Key_Right); // into the next year
    QTest::keyClick(f.calendarView(), Qt::Key_Return);
    QCOMPARE(f.field->text(), QStringLiteral("2013- 1- 1"));
    QVERIFY(!f.field->isPopupVisible());
}

QTEST_MAIN(TestDateField)
#include "tst_date_field.moc"
