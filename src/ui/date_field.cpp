#include "ui/date_field.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Digits, or blanks, in every position; the separators are fixed.
const QString kMask = QStringLiteral("0000-00-00");
const QSize kCalendarSize(200, 150);
} // namespace

DateField::DateField(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_button(new QToolButton(this))
{
    m_edit->setObjectName(QStringLiteral("dateFieldEdit"));
    m_edit->setInputMask(kMask);
    m_edit->installEventFilter(this);

    m_button->setObjectName(QStringLiteral("dateFieldButton"));
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);

    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    setSizePolicy(m_edit->sizePolicy());

    connect(m_button, &QToolButton::clicked, this, &DateField::showPopup);
    // The line edit's own text() drops the blanks of the mask; pass on what is shown.
    connect(m_edit, &QLineEdit::textChanged, this, [this] { Q_EMIT textChanged(shownText()); });

    // A field never starts without a date to fall back on.
    setToday();
}

// The calendar is made when first wanted: a dialog holds its date fields from the start,
// and most are never dropped down.
QCalendarWidget *DateField::calendar() const
{
    if (m_calendar)
        return m_calendar;
    auto *self = const_cast<DateField *>(this);
    m_popup = new QFrame(self, Qt::Popup);
    m_popup->setObjectName(QStringLiteral("dateFieldPopup"));
    m_popup->setFrameShape(QFrame::Box);
    // A click on the drop-down button that closes the popup must not reopen it.
    m_popup->setAttribute(Qt::WA_NoMouseReplay);
    auto *popupLayout = new QVBoxLayout(m_popup);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setObjectName(QStringLiteral("dateFieldCalendar"));
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(false);
    // A smaller font keeps the popup near its nominal size; it never clips a day.
    QFont small = m_calendar->font();
    small.setPointSizeF(qMax(6.0, small.pointSizeF() - 2.0));
    m_calendar->setFont(small);
    // Sized when it is first shown, once the style has had its say (fitCalendar).
    popupLayout->addWidget(m_calendar);

    connect(m_calendar, &QCalendarWidget::clicked, self, &DateField::pick);
    connect(m_calendar, &QCalendarWidget::activated, self, &DateField::pick);
    return m_calendar;
}

QString DateField::shownText() const
{
    return m_edit->displayText();
}

QString DateField::text() const
{
    const QString shown = shownText();
    if (shown == m_last)
        return shown;
    const QDate d = parse(shown);
    return d.isValid() ? format(d) : m_last;
}

void DateField::setText(const QString &t)
{
    m_edit->setText(t);
    // The mask may have reshaped it: keep what is shown.
    m_last = shownText();
}

void DateField::setDate(const QDate &d)
{
    setText(format(d));
}

QDate DateField::date() const
{
    return parse(text());
}

void DateField::setToday()
{
    setDate(QDate::currentDate());
}

QString DateField::format(const QDate &d)
{
    if (!d.isValid())
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char(' '))
        .arg(d.day(), 2, 10, QLatin1Char(' '));
}

QDate DateField::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return QDate();
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const QString digits = parts[i].trimmed();
        // A year of fewer digits is one still being typed.
        const bool length = i == 0 ? digits.size() == 4 : digits.size() >= 1 && digits.size() <= 2;
        if (!length)
            return QDate();
        for (const QChar c : digits)
            if (c < u'0' || c > u'9')
                return QDate();
        numbers[i] = digits.toInt();
    }
    return QDate(numbers[0], numbers[1], numbers[2]);
}

void DateField::commitTyped()
{
    const QString shown = shownText();
    if (shown == m_last)
        return;
    const QDate d = parse(shown);
    if (d.isValid()) {
        // "2012-08-27" or "2012-8 -27" goes into the one form all stored dates share,
        // so that date texts keep sorting by date.
        setDate(d);
        return;
    }
    QApplication::beep();
    m_edit->setText(m_last);
    Q_EMIT reverted();
}

bool DateField::isPopupVisible() const
{
    return m_popup && m_popup->isVisible();
}

void DateField::showPopup()
{
    calendar();
    const QDate shown = date();
    m_calendar->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());

    fitCalendar();
    m_popup->adjustSize();
    QPoint pos = mapToGlobal(QPoint(0, height()));
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = m_popup->size();
        if (pos.y() + size.height() > area.bottom())
            pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - size.width())));
    }
    m_popup->move(pos);
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void DateField::fitCalendar()
{
    m_calendar->ensurePolished();
    auto *view = m_calendar->findChild<QTableView *>(QStringLiteral("qt_calendar_calendarview"));
    QWidget *header = m_calendar->findChild<QWidget *>(QStringLiteral("qt_calendar_navigationbar"));
    if (!view || !header) {
        m_calendar->setFixedSize(kCalendarSize.expandedTo(m_calendar->minimumSizeHint()));
        return;
    }
    // Every cell as large as its text needs: the day titles and two digits. The view's rows
    // and columns never shrink below their minimum, so the calendar must make room for them.
    const QFontMetrics fm = view->fontMetrics();
    const QAbstractItemModel *model = view->model();
    int cellWidth = fm.horizontalAdvance(QStringLiteral("88"));
    for (int c = 0; c < model->columnCount(); ++c)
        cellWidth = std::max(cellWidth, fm.horizontalAdvance(model->data(model->index(0, c)).toString()));
    cellWidth += 6;
    const int cellHeight = fm.height() + 4;
    view->horizontalHeader()->setMinimumSectionSize(cellWidth);
    view->verticalHeader()->setMinimumSectionSize(cellHeight);
    const int frame = 2 * view->frameWidth();
    const QSize cells(model->columnCount() * cellWidth + frame, model->rowCount() * cellHeight + frame);
    const QSize bar = header->sizeHint();
    const QSize need(std::max(cells.width(), bar.width()), cells.height() + bar.height());
    m_calendar->setFixedSize(need.expandedTo(kCalendarSize).expandedTo(m_calendar->minimumSizeHint()));
}

void DateField::hidePopup()
{
    if (m_popup)
        m_popup->hide();
}

void DateField::pick(const QDate &d)
{
    setDate(d);
    hidePopup();
    m_edit->setFocus(Qt::OtherFocusReason);
}

bool DateField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::KeyPress) {
            // Alt+Down opens the calendar, as in a combo box.
            auto *ke = static_cast<QKeyEvent *>(event);
            if (ke->key() == Qt::Key_Down && (ke->modifiers() & Qt::AltModifier)) {
                showPopup();
                return true;
            }
            // Enter goes on to the dialog's default button, which must see a whole date.
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)
                commitTyped();
        } else if (event->type() == QEvent::FocusOut) {
            // The calendar or another window taking over leaves the typing as it is.
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                commitTyped();
        }
    }
    return QWidget::eventFilter(watched, event);
}
