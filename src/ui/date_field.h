#pragma once
// The date field of the dialogs: a masked "yyyy-mm-dd" text with blanks in place of missing
// leading digits ("2012- 8-27"), whatever the system locale, and a drop-down calendar.
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

    QString text() const;                 // as shown, blanks included
    void setText(const QString &t);       // a stored entry's date, shown as given
    void setDate(const QDate &d);         // text = format(d)
    QDate date() const;                   // parsed from the text, invalid if no date
    void setToday();

    static QString format(const QDate &d);
    static QDate parse(const QString &text);

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *dropDownButton() const { return m_button; }
    QCalendarWidget *calendar() const { return m_calendar; }
    bool isPopupVisible() const;

public Q_SLOTS:
    void showPopup();
    void hidePopup();

Q_SIGNALS:
    void textChanged(const QString &);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void pick(const QDate &d);

    QLineEdit *m_edit;
    QToolButton *m_button;
    QFrame *m_popup;
    QCalendarWidget *m_calendar;
};
