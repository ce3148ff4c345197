#include "records/amount_field.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionSpinBox>
#include <QWheelEvent>

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string>

namespace {

using Int128 = __int128;

// Parses a text the way a C-locale float parser reads a number (blanks around it, sign,
// digits with an optional point, an optional exponent) and returns it exactly in units of
// 1/10000, the fifth decimal onwards rounded half away from zero. False when the text is no
// number or too large for the fixed-point form.
bool parseFixed4(const QString &text, Int128 &out)
{
    const QString t = text.trimmed();
    int i = 0;
    const int n = t.size();
    bool negative = false;
    if (i < n && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    std::string digits; // mantissa digits without the point, leading zeros dropped
    int fractionDigits = 0;
    bool anyDigit = false;
    bool seenPoint = false;
    for (; i < n; ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (seenPoint)
                ++fractionDigits;
            if (!digits.empty() || c != u'0') // leading zeros only shift the scale
                digits.push_back(char(c.unicode()));
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    long long exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (t[i] == u'-' || t[i] == u'+')) {
            expNegative = t[i] == u'-';
            ++i;
        }
        const int start = i;
        for (; i < n && t[i] >= u'0' && t[i] <= u'9'; ++i) {
            if (exponent < 100000)
                exponent = exponent * 10 + (t[i].unicode() - u'0');
        }
        if (i == start)
            return false;
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        return false;

    // value = digits * 10^(exponent - fractionDigits); we want it times 10^4.
    const long long shift = exponent - fractionDigits + 4;
    Int128 units = 0;
    if (digits.empty()) {
        units = 0;
    } else if (shift >= 0) {
        if (static_cast<long long>(digits.size()) + shift > 30)
            return false;
        for (char d : digits)
            units = units * 10 + (d - '0');
        for (long long k = 0; k < shift; ++k)
            units *= 10;
    } else {
        const long long keep = static_cast<long long>(digits.size()) + shift; // digits left of the cut
        if (keep > 30)
            return false;
        for (long long k = 0; k < keep; ++k)
            units = units * 10 + (digits[size_t(k)] - '0');
        // The first dropped digit decides: five or more is at least half.
        if (keep >= 0 && digits[size_t(keep)] >= '5')
            units += 1;
    }
    out = negative ? -units : units;
    return true;
}

QString int128Text(Int128 v)
{
    if (v == 0)
        return QStringLiteral("0");
    std::string s;
    while (v > 0) {
        s.insert(s.begin(), char('0' + int(v % 10)));
        v /= 10;
    }
    return QString::fromLatin1(s);
}

// Cents as text with two decimals; no sign for zero.
QString centsText(Int128 cents)
{
    const bool negative = cents < 0;
    const Int128 a = negative ? -cents : cents;
    const int fraction = int(a % 100);
    QString s = int128Text(a / 100) + QLatin1Char('.')
                + QString::number(fraction).rightJustified(2, QLatin1Char('0'));
    if (negative)
        s.prepend(QLatin1Char('-'));
    return s;
}

// A plain decimal number: an optional "-" first, digits with at most one point, at least one
// digit (".5" and "5." are numbers). Gives its digits and where the point stands.
struct PlainNumber
{
    bool negative = false;
    QString whole;    // digits before the point
    QString fraction; // digits after it
};

bool parsePlain(const QString &t, PlainNumber &out)
{
    qsizetype i = 0;
    out = PlainNumber();
    if (t.startsWith(u'-')) {
        out.negative = true;
        i = 1;
    }
    bool point = false;
    bool digit = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c >= u'0' && c <= u'9') {
            digit = true;
            (point ? out.fraction : out.whole).append(c);
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

// The number with exactly two decimals, rounded on its digits, halves away from zero;
// never "-0.00".
QString twoDecimals(const PlainNumber &n)
{
    QString whole = n.whole;
    while (whole.size() > 1 && whole.front() == u'0')
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    QString digits = whole + (n.fraction + QStringLiteral("00")).left(2);
    if (n.fraction.size() > 2 && n.fraction.at(2) >= u'5') {
        // Add one cent to the digit string, carrying leftwards.
        qsizetype k = digits.size() - 1;
        for (; k >= 0; --k) {
            if (digits.at(k) == u'9') {
                digits[k] = u'0';
            } else {
                digits[k] = QChar(digits.at(k).unicode() + 1);
                break;
            }
        }
        if (k < 0)
            digits.prepend(u'1');
    }
    QString text = digits.left(digits.size() - 2) + QLatin1Char('.') + digits.right(2);
    const bool zero = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == u'0'; });
    if (n.negative && !zero)
        text.prepend(u'-');
    return text;
}

// A text the value follows: a well-formed number, or one that starts with its point.
bool parseWellFormed(const QString &t, double &out)
{
    PlainNumber plain;
    if (!AmountField::isWellFormed(t) && !parsePlain(t, plain))
        return false;
    const QByteArray bytes = t.toLatin1();
    double v = 0;
    const auto res = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), v);
    if (res.ec != std::errc() || res.ptr != bytes.constData() + bytes.size())
        return false; // "-." is well-formed yet no number: the value stays
    out = v;
    return true;
}

} // namespace

AmountField::AmountField(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    QFont f = font();
    f.setBold(true);
    setFont(f);
    // Keys must arrive as key events so the character rules see every character.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    // Drops and middle-button pastes would bypass the key rules.
    lineEdit()->setAcceptDrops(false);
    lineEdit()->installEventFilter(this);

    connect(lineEdit(), &QLineEdit::textChanged, this, &AmountField::onTextChanged);
    rewriteFromValue();
}

void AmountField::setValue(double v)
{
    m_value = v;
    m_exact.clear();
    rewriteFromValue();
    Q_EMIT changed();
}

void AmountField::setExactValue(const QString &twoDecimals)
{
    m_value = twoDecimals.toDouble();
    m_exact = format(m_value) == twoDecimals ? QString() : twoDecimals;
    rewriteFromValue();
    Q_EMIT changed();
}

QString AmountField::text() const
{
    return lineEdit()->text();
}

void AmountField::setText(const QString &t)
{
    lineEdit()->setText(roundedText(t));
}

QString AmountField::roundedText(const QString &t)
{
    // Cents are all the field holds: more decimals are rounded on the digits, never
    // through a double (2.675 becomes 2.68).
    PlainNumber n;
    if (!parsePlain(t, n) || n.fraction.size() <= 2)
        return t;
    return twoDecimals(n);
}

QString AmountField::exactText() const
{
    if (!m_exact.isEmpty())
        return m_exact;
    PlainNumber n;
    if (parsePlain(text(), n))
        return twoDecimals(n);
    return format(m_value);
}

bool AmountField::isWellFormed(const QString &t)
{
    if (t.isEmpty() || t == QLatin1String("-"))
        return false;
    int minus = 0;
    int points = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == u'-') {
            if (i != 0 || ++minus > 1)
                return false;
        } else if (c == u'.') {
            if (i == 0 || ++points > 1)
                return false;
        } else if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

QString AmountField::format(double v)
{
    QString s = QString::number(v, 'f', 2);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

QString AmountField::difference(const QString &total, const QString &settled)
{
    Int128 a = 0;
    Int128 b = 0;
    for (const auto &[text, target] : {std::pair{&total, &a}, std::pair{&settled, &b}}) {
        if (!parseFixed4(*text, *target))
            throw std::runtime_error(
                QStringLiteral("'%1' is not a valid floating point value").arg(*text).toStdString());
    }
    const Int128 d = a - b; // units of 1/10000
    Int128 cents = d / 100;
    const Int128 rest = d % 100;
    if (rest >= 50)
        ++cents;
    else if (rest <= -50)
        --cents;
    return centsText(cents);
}

QString AmountField::storedText(const QString &text, double value)
{
    // What the field shows goes in whenever it is a number: ".5" is one, though the value
    // does not follow it. A lone "-" or "-." is none and would spoil the sums.
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    bool digit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            break;
    }
    return digit && i == text.size() ? text : format(value);
}

void AmountField::stepBy(int steps)
{
    const double next = m_value + double(steps);
    const bool moved = next != m_value;
    m_value = next;
    if (moved)
        m_exact.clear();
    rewriteFromValue();
    if (moved)
        Q_EMIT changed();
}

QAbstractSpinBox::StepEnabled AmountField::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    return StepUpEnabled | StepDownEnabled;
}

void AmountField::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // Left for the dialog: its default button saves.
        event->ignore();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!isReadOnly())
            stepBy(event->key() == Qt::Key_Up ? 1 : -1);
        event->accept();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        event->ignore();
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteFrom(int(QClipboard::Clipboard));
        event->accept();
        return;
    }
    const QString t = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && !t.isEmpty() && t.at(0).isPrint() && !isReadOnly()) {
        const Typed check = checkTyped(t);
        if (check != Typed::Ok) {
            // Past the limit characters are dropped silently, as a plain line edit does.
            if (check == Typed::Refused)
                refuse();
            event->accept();
            return;
        }
    }
    QAbstractSpinBox::keyPressEvent(event);
}

AmountField::Typed AmountField::checkTyped(const QString &s) const
{
    const QLineEdit *edit = lineEdit();
    // The rules judge the text as it will be: what the typed characters replace is gone.
    QString seen = edit->text();
    qsizetype at = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        at = edit->selectionStart();
        seen.remove(at, edit->selectedText().size());
    }
    const qsizetype kept = seen.size();
    for (const QChar c : s) {
        const bool ok = (c >= u'0' && c <= u'9') || ((c == u'-' || c == u'.') && !seen.contains(c));
        if (!ok)
            return Typed::Refused;
        seen.insert(at++, c);
    }
    // Cents are the smallest unit: a third digit after the point is refused.
    const qsizetype point = seen.indexOf(u'.');
    if (point >= 0) {
        const QStringView after = QStringView(seen).mid(point + 1);
        if (std::count_if(after.begin(), after.end(), [](QChar c) { return c.isDigit(); }) > 2)
            return Typed::Refused;
    }
    if (kept + s.size() > MaxLength)
        return Typed::TooLong;
    return Typed::Ok;
}

void AmountField::refuse()
{
    QApplication::beep();
    Q_EMIT refused();
}

void AmountField::pasteFrom(int mode)
{
    if (isReadOnly())
        return;
    const QString clip = QGuiApplication::clipboard()->text(QClipboard::Mode(mode)).trimmed();
    if (clip.isEmpty())
        return;
    // A paste goes in whole or not at all.
    if (checkTyped(clip) == Typed::Ok)
        lineEdit()->insert(clip);
    else
        refuse();
}

void AmountField::focusInEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusInEvent(event);
    // Typing replaces what the field shows, however the focus came: a cursor left after
    // "0.00" would turn a typed 12 into 0.0012.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    selectAll();
    // The press that brought the focus would place the cursor and undo the selection.
    m_focusPress = reason == Qt::MouseFocusReason;
}

void AmountField::focusOutEvent(QFocusEvent *event)
{
    m_focusPress = false;
    m_swallowDrag = false;
    QAbstractSpinBox::focusOutEvent(event);
    // A context menu or another window taking over does not move the focus away from the field.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        rewriteFromValue();
}

void AmountField::mousePressEvent(QMouseEvent *event)
{
    // A press on the spin buttons: the next click into the text is no focusing click.
    m_focusPress = false;
    QAbstractSpinBox::mousePressEvent(event);
}

void AmountField::wheelEvent(QWheelEvent *event)
{
    // Only the arrow keys and the spin buttons step.
    event->ignore();
}

void AmountField::contextMenuEvent(QContextMenuEvent *event)
{
    QPointer<QMenu> menu = lineEdit()->createStandardContextMenu();
    if (!menu)
        return;
    for (QAction *action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste")) {
            action->disconnect();
            connect(action, &QAction::triggered, this,
                    [this] { pasteFrom(int(QClipboard::Clipboard)); });
        }
    }
    menu->addSeparator();
    QAction *up = menu->addAction(QCoreApplication::translate("QAbstractSpinBox", "&Step up"));
    QAction *down = menu->addAction(QCoreApplication::translate("QAbstractSpinBox", "Step &down"));
    up->setEnabled(!isReadOnly());
    down->setEnabled(!isReadOnly());
    const QAction *chosen = menu->exec(event->globalPos());
    if (menu) {
        if (chosen == up)
            stepBy(1);
        else if (chosen == down)
            stepBy(-1);
        delete menu;
    }
    event->accept();
}

bool AmountField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (m_focusPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                // The click that focused the field keeps the whole text selected; a
                // second click places the cursor as usual.
                m_focusPress = false;
                m_swallowDrag = true;
                return true;
            }
            m_focusPress = false;
            break;
        case QEvent::MouseMove:
            if (m_swallowDrag)
                return true;
            break;
        case QEvent::MouseButtonRelease:
            if (m_swallowDrag && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                m_swallowDrag = false;
                return true;
            }
            break;
        default:
            break;
        }
    }
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::MiddleButton) {
            if (QGuiApplication::clipboard()->supportsSelection())
                pasteFrom(int(QClipboard::Selection));
            return true;
        }
    }
    return QAbstractSpinBox::eventFilter(watched, event);
}

namespace {
// The widest text of that many characters the field can show: digits, a point and a minus.
int widestAmount(const QFontMetrics &fm, int chars)
{
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, fm.horizontalAdvance(QLatin1Char(c)));
    const int point = fm.horizontalAdvance(QLatin1Char('.'));
    const int minus = fm.horizontalAdvance(QLatin1Char('-'));
    return std::max(digit * (chars - 1) + point, digit * (chars - 2) + point + minus);
}
} // namespace

int AmountField::widthFor(int chars) const
{
    const QLineEdit *edit = lineEdit();
    // The room the line edit gives its text, worked out as it does when it paints; the rest
    // of the field's width (frame, spin buttons) stays the same whatever the width.
    ensurePolished();
    edit->ensurePolished();
    QStyleOptionSpinBox box;
    initStyleOption(&box);
    box.rect = QRect(0, 0, std::max(width(), 200), std::max(height(), 24));
    const QRect editRect = style()->subControlRect(QStyle::CC_SpinBox, &box, QStyle::SC_SpinBoxEditField, this);
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.rect = QRect(QPoint(0, 0), editRect.size());
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit)
                               .marginsRemoved(edit->textMargins());
    const int innerMargin = 2; // the line edit's own blank on either side
    const int overhead = box.rect.width() - contents.width() + 2 * innerMargin + 1; // and the cursor
    return widestAmount(QFontMetrics(edit->font()), chars) + overhead;
}

void AmountField::onTextChanged(const QString &t)
{
    if (m_rewriting)
        return;
    double v = 0;
    if (!parseWellFormed(t, v))
        return;
    // A number typed or set takes the place of the exact text the program gave.
    m_exact.clear();
    if (v == m_value)
        return;
    m_value = v;
    Q_EMIT changed();
}

void AmountField::rewriteFromValue()
{
    m_rewriting = true;
    lineEdit()->setText(m_exact.isEmpty() ? format(m_value) : m_exact);
    m_rewriting = false;
}
