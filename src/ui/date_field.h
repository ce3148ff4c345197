#pragma once
// The date field of the dialogs: a masked "yyyy-mm-dd" text with blanks in place of missing
// leading digits ("2012- 8-27"), whatever the system locale, and a drop-down calendar.
//
// What the user types counts once it is a whole, real date. Leaving the field or pressing
// Enter in it tidies such a date into the one form; anything else goes back, with a beep,
// to the last date the field held. text() never hands out an unfinished or impossible date
// the user is still typing, so a save that reads it without a focus change is safe too.
#include <QDate>
#include <QString>
#include <QWidget>

class QCalendarWidget;
class QFrame;
class QLineEdit;
class QToolButton;

class DateField : public QWidget
{
    Q_OBJECT
public:
    explicit DateField(QWidget *parent = nullptr);

    // The date as it counts: what the program last set, or what the user typed once it is a
    // whole date (then in the one form); while the user types anything else, the last date.
    QString text() const;
    // A stored entry's date, shown and kept as given; it is also what typing goes back to.
    void setText(const QString &t);
    void setDate(const QDate &d);         // text = format(d)
    QDate date() const;                   // parsed from text(), invalid if no date
    void setToday();

    // What the field shows this moment, unfinished typing included.
    QString shownText() const;

    static QString format(const QDate &d);
    // A date with a four-digit year, month and day of one or two digits; invalid otherwise.
    static QDate parse(const QString &text);

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *dropDownButton() const { return m_button; }
    QCalendarWidget *calendar() const;
    bool isPopupVisible() const;

public Q_SLOTS:
    void showPopup();
    void hidePopup();

Q_SIGNALS:
    void textChanged(const QString &shown);
    // Typing that was no whole date went back to the last date (after the beep).
    void reverted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pick(const QDate &d);
    // Sizes the calendar so that its header and all six weeks show whole.
    void fitCalendar();
    // Tidies a typed date, or takes the field back to the last date.
    void commitTyped();

    QLineEdit *m_edit;
    QToolButton *m_button;
    mutable QFrame *m_popup = nullptr;
    mutable QCalendarWidget *m_calendar = nullptr;
    QString m_last;   // the text the field counts as its date
};
