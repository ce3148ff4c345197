// Hostile input through the real windows: keys and pastes into the amount fields; the book,
// entry, detail and password fields; phrases typed into the menu item manager; and the quick
// search over them. Nothing may reach the user as an engine error, every limit holds, the
// file holds what the field showed, and a search lists exactly the entries whose texts hold
// the phrases chosen, compared with a model the test computes itself.
#include <QtTest>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <cmath>
#include <optional>

#include "program_fixture.h"
#include "fuzz.h"
#include "../books/book_fixture.h"
#include "app/online_check.h"
#include "books/book_text_dialogs.h"
#include "books/new_book_dialog.h"
#include "books/quick_search.h"
#include "books/switch_dialog.h"
#include "data/lock_password.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "records/amount_field.h"
#include "records/entry_dialog.h"
#include "records/menu_item_manager.h"
#include "security/password_window.h"
#include "ui/message_box.h"

using programfixture::Run;

// Runs a script inside a dialog's modal loop once the dialog is the active window, so that
// clicks move the focus as they do for the user.
struct Drive : fixture::DriveWhenShown {
    Drive(QDialog *dialog, std::function<void()> script)
        : fixture::DriveWhenShown(dialog, [dialog, script] {
              dialog->activateWindow();
              if (!QTest::qWaitFor([dialog] { return dialog->isActiveWindow(); }))
                  QFAIL("the dialog did not become active");
              script();
          })
    {
    }
};

namespace {

const QString kRequired = QStringLiteral("红色*号项必须填写");

QString ctx(int round, int step = -1)
{
    QString s = QStringLiteral("seed %1, round %2").arg(fuzz::seed()).arg(round);
    if (step >= 0)
        s += QStringLiteral(", step %1").arg(step);
    return s;
}

// A text for a failure message: anything beyond printable ASCII as \uXXXX.
QString esc(const QString &t)
{
    QString out = QStringLiteral("\"");
    for (QChar c : t)
        out += c.unicode() >= 0x20 && c.unicode() < 0x7F ? QString(c) : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return out + QLatin1Char('"');
}

// The texts of the general error boxes shown since the last clear.
QStringList errorBoxes()
{
    QStringList out;
    for (const msg::Shown &s : msg::shown())
        if (s.kind == msg::Kind::Error)
            out << s.text;
    return out;
}

// ---------------------------------------------------------------- one-line text fields

// What a line edit shows of a text: control characters and line breaks as blanks (a CR LF
// pair as one), lone surrogate halves not at all; with dropBlanks every blank goes too.
QString asShown(const QString &text, bool dropBlanks)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += text.mid(i, 2);
            ++i;
        } else if (high || low) {
            continue;
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFFFC) {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            if (!dropBlanks)
                out += QLatin1Char(' ');
        } else if (!(dropBlanks && QChar(c).isSpace())) {
            out += QChar(c);
        }
    }
    return out;
}

struct Rules {
    int limit;
    bool typedBlanksDropped = false; // the rename field: typed blanks go, pasted ones stay
    bool noBlanks = false;           // password fields: no blank ever
};

bool isBlankKey(const QString &key, const Rules &r)
{
    if (r.noBlanks)
        return key.size() == 1 && key.at(0).isSpace();
    return r.typedBlanksDropped && key.size() == 1 && key.at(0).category() == QChar::Separator_Space;
}

void typeKey(QWidget *w, const QString &key)
{
    const char16_t c = key.size() == 1 ? key.at(0).unicode() : 0;
    if (c >= 0x20 && c < 0x7F)
        QTest::keyClick(w, char(c));
    else
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, key, Qt::NoModifier);
}

void paste(QWidget *w, const QString &clip)
{
    QGuiApplication::clipboard()->setText(clip);
    QTest::keySequence(w, QKeySequence::Paste);
}

// One recorded action, so that the same keys can go into another field.
struct Act {
    enum Kind { Type, Paste, Backspace, Delete, Home, End, Left, SelectLeft, SelectAll } kind;
    QString text;
};

Act randomAct(fuzz::Gen &g)
{
    switch (g.below(14)) {
    case 0: case 1: case 2: case 3: case 4: case 5:
        return {Act::Type, g.key()};
    case 6: case 7:
        return {Act::Paste, g.piece()};
    case 8:
        return {Act::Paste, g.text(g.between(1, 40))};
    case 9:
        return {Act::Backspace, {}};
    case 10:
        return {Act::Delete, {}};
    case 11:
        return {g.chance(50) ? Act::Home : Act::Left, {}};
    case 12:
        return {g.chance(50) ? Act::End : Act::SelectLeft, {}};
    default:
        return {Act::SelectAll, {}};
    }
}

// Does the action in the field and checks what the field then holds: within its limit,
// nothing it shows otherwise, and for keys and pastes exactly what they put in.
void apply(const Act &a, QLineEdit *f, const Rules &r, const QString &where)
{
    const QString before = f->text();
    const int selLen = int(f->selectedText().size());
    const int at = selLen ? f->selectionStart() : f->cursorPosition();
    QString kept = before;
    kept.remove(at, selLen);
    // What goes in replaces the selection, as far as it fits; a pair cut in half by the
    // limit (or by a selection, which in a password field may split one) leaves nothing.
    const auto inserted = [&](const QString &in) {
        return asShown(kept.left(at) + in.left(std::max<qsizetype>(0, r.limit - kept.size())) + kept.mid(at),
                       r.noBlanks);
    };
    std::optional<QString> expected;
    switch (a.kind) {
    case Act::Type:
        typeKey(f, a.text);
        expected = r.typedBlanksDropped && isBlankKey(a.text, r) ? before : inserted(a.text);
        break;
    case Act::Paste:
        paste(f, a.text);
        expected = a.text.isEmpty() && !selLen ? before : inserted(a.text);
        break;
    case Act::Backspace:
        QTest::keyClick(f, Qt::Key_Backspace);
        break;
    case Act::Delete:
        QTest::keyClick(f, Qt::Key_Delete);
        break;
    case Act::Home:
        QTest::keyClick(f, Qt::Key_Home);
        break;
    case Act::End:
        QTest::keyClick(f, Qt::Key_End);
        break;
    case Act::Left:
        QTest::keyClick(f, Qt::Key_Left);
        break;
    case Act::SelectLeft:
        QTest::keyClick(f, Qt::Key_Left, Qt::ShiftModifier);
        break;
    case Act::SelectAll:
        QTest::keySequence(f, QKeySequence::SelectAll);
        break;
    }
    const QString now = f->text();
    QVERIFY2(now.size() <= r.limit, qPrintable(where + QStringLiteral(": %1 characters").arg(now.size())));
    QVERIFY2(now == asShown(now, r.noBlanks), qPrintable(where + QStringLiteral(": holds what it does not show")));
    if (expected)
        QVERIFY2(now == *expected, qPrintable(where + QStringLiteral(": action %1 %2 on %3 (at %4, %5 selected) gave %6, not %7")
                                                          .arg(int(a.kind)).arg(esc(a.text), esc(before)).arg(at).arg(selLen)
                                                          .arg(esc(now), esc(*expected))));
}

void replay(const QList<Act> &acts, QLineEdit *f, const Rules &r, const QString &where)
{
    f->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < acts.size(); ++i) {
        apply(acts[i], f, r, where + QStringLiteral(", step %1").arg(i));
        if (QTest::currentTestFailed())
            return;
    }
}

// The first round of every field: one paste that holds quotes, wildcards, markup, a
// right-to-left mark, a leading U+FEFF, line breaks and a NUL, and ends in a pair that the
// field's limit cuts in half.
QString limitPaste(int limit)
{
    QString t = QStringLiteral("\uFEFF'%_\\\"<b>\u200F\r\n") + QChar(0) + QStringLiteral("\t");
    if (limit < t.size() + 2)
        t = QStringLiteral("\uFEFF'%\u200F");
    while (t.size() < limit - 1)
        t += QStringLiteral("收");
    return t + fuzz::u(U'\U0001F600');
}

QList<Act> randomActs(fuzz::Gen &g, int round, int limit)
{
    if (round == 0)
        return {{Act::Paste, limitPaste(limit)}};
    QList<Act> acts;
    const int n = g.between(3, 30);
    for (int i = 0; i < n; ++i)
        acts << randomAct(g);
    return acts;
}

QString firstValue(Connection &conn, const QString &sql)
{
    Query q(&conn, QStringLiteral("probe"));
    q.setSql(sql);
    q.open();
    return q.rowCount() ? q.value(0, 0) : QStringLiteral("<no row>");
}

// The whole program on the account-book page.
struct App : Run {
    bool ready = false;
    App()
    {
        if (!start())
            return;
        clickAt(nav()->item(0, 2));
        ready = book()->isVisible();
    }
    QToolButton *tool(const char *name) { return book()->findChild<QToolButton *>(name); }
    DataGrid *grid() { return book()->grid(); }
    void openSwitch()
    {
        auto *link = book()->findChild<QLabel *>("bsSkinStdLabel1");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    }
};

void save(fuzz::Gen &g, QLineEdit *field, QPushButton *button)
{
    if (g.chance(50))
        QTest::keyClick(field, Qt::Key_Return);
    else
        QTest::mouseClick(button, Qt::LeftButton);
}

// ---------------------------------------------------------------- amounts

using Int128 = __int128;

// A plain decimal: what the stored amount texts must be, so that the sums read them exactly.
bool plainDecimal(const QString &t)
{
    static const QRegularExpression re(QStringLiteral("^-?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    return re.match(t).hasMatch();
}

bool twoDecimals(const QString &t)
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9]+\\.[0-9][0-9]$"));
    return re.match(t).hasMatch();
}

// The value rule: not empty, not a lone "-", "-" only first, one point and not first.
bool wellFormed(const QString &t)
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9][0-9]*(\\.[0-9]*)?$|^-[0-9]*\\.[0-9]*$"));
    // A number that starts with its point (".5") is one too: the value follows it.
    static const QRegularExpression pointFirst(QStringLiteral("^\\.[0-9]+$"));
    return t != QLatin1String("-") && t != QLatin1String("-.") && (re.match(t).hasMatch() || pointFirst.match(t).hasMatch());
}

// A plain decimal in units of 10^-scale.
Int128 units(const QString &t, int scale)
{
    const bool negative = t.startsWith(u'-');
    const QString body = negative ? t.mid(1) : t;
    const qsizetype point = body.indexOf(u'.');
    QString digits = point < 0 ? body : body.left(point) + body.mid(point + 1);
    const int decimals = point < 0 ? 0 : int(body.size() - point - 1);
    Int128 v = 0;
    for (QChar c : digits)
        v = v * 10 + (c.unicode() - u'0');
    for (int i = decimals; i < scale; ++i)
        v *= 10;
    for (int i = scale; i < decimals; ++i)
        v /= 10;
    return negative ? -v : v;
}

// Rounds units of 10^-from to 10^-to, halves away from zero.
Int128 roundTo(Int128 v, int from, int to)
{
    Int128 d = 1;
    for (int i = to; i < from; ++i)
        d *= 10;
    const Int128 q = v / d, rest = v % d;
    if (2 * rest >= d)
        return q + 1;
    if (2 * rest <= -d)
        return q - 1;
    return q;
}

// total - settled as the entry dialogs work it out: each read with four decimals, the
// difference shown with two.
QString outstandingOf(const QString &total, const QString &settled)
{
    const auto four = [](const QString &t) {
        const qsizetype point = t.indexOf(u'.');
        const int decimals = point < 0 ? 0 : int(t.size() - point - 1);
        return decimals <= 4 ? units(t, 4) : roundTo(units(t, decimals), decimals, 4);
    };
    Int128 cents = roundTo(four(total) - four(settled), 4, 2);
    const bool negative = cents < 0;
    if (negative)
        cents = -cents;
    QString digits;
    for (Int128 c = cents; c > 0 || digits.size() < 3; c /= 10)
        digits.prepend(QChar(u'0' + int(c % 10)));
    return (negative ? QStringLiteral("-") : QString()) + digits.left(digits.size() - 2) + QLatin1Char('.')
           + digits.right(2);
}

bool closeTo(const QString &twoDec, double value)
{
    const double shown = twoDec.toDouble();
    const double ulp = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
    return std::fabs(shown - value) <= 0.005 + 2 * ulp;
}

const QStringList &amountKeys()
{
    static const QStringList list = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "9", "5",
                                     "-", "-", ".", ".", "e", "+", " ", ",", "a", "'", "%",
                                     "\uFF11", "\u0663", "\u00BD", "\u2212"};
    return list;
}
const QStringList &amountClips()
{
    static const QStringList list = {"12.5", " 7 ", "-3", "1e3", "1,000", "\uFF11\uFF12", "12-", "--1", ".5",
                                     "5.", "-0", "0.125", "1.005", "99999999999999", "999999999999999",
                                     "12345678901234567890", "0.0000000000001", "-.5", "\t8\n", "3.14159",
                                     "1.2.3", "- 1"};
    return list;
}

// Digits, at most one "-" and one point: what the key rules let into an amount field.
bool amountChars(const QString &t)
{
    return t.count(u'-') <= 1 && t.count(u'.') <= 1
           && std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit() && c.unicode() < 0x80 ? true : c == u'-' || c == u'.'; });
}

bool typedOk(QString seen, const QString &s, int at)
{
    for (QChar c : s) {
        const bool ok = (c >= u'0' && c <= u'9') || ((c == u'-' || c == u'.') && !seen.contains(c));
        if (!ok)
            return false;
        seen.insert(at++, c);
    }
    // Cents are the smallest unit: no third digit after the point.
    const qsizetype point = seen.indexOf(u'.');
    if (point >= 0) {
        int decimals = 0;
        for (qsizetype i = point + 1; i < seen.size(); ++i)
            decimals += seen[i].isDigit();
        if (decimals > 2)
            return false;
    }
    return true;
}

QLineEdit *editOf(AmountField *f) { return f->findChild<QLineEdit *>(); }

// The amount fields of one dialog; the entry dialogs tie the three together.
struct Amounts {
    QList<AmountField *> f;
    bool linked = false;
    int focused = 0;

    // One random action in a field, then every rule checked against what the test expects.
    void step(fuzz::Gen &g, const QString &where)
    {
        int t = focused;
        if (f.size() > 1 && g.chance(20)) {
            // The mouse moves the focus into another field; the field left rewrites its text.
            const int from = focused;
            t = (focused + 1 + g.below(int(f.size()) - 1)) % int(f.size());
            const QString text = f[from]->text();
            const double value = f[from]->value();
            QLineEdit *e = editOf(f[t]);
            QTest::mouseClick(e, Qt::LeftButton, {}, QPoint(g.below(std::max(1, e->width())), e->height() / 2));
            focused = t;
            QVERIFY2(f[t]->hasFocus(), qPrintable(where + ": focus " + (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() + "/" + QApplication::focusWidget()->metaObject()->className() : QString("none")) + " active " + (QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QString("none")) + " to " + f[t]->objectName()));
            QVERIFY2(f[from]->value() == value, qPrintable(where + ": the value moved on focus loss"));
            QVERIFY2(twoDecimals(f[from]->text()) && closeTo(f[from]->text(), value),
                     qPrintable(where + ": left \"" + text + "\" as \"" + f[from]->text() + "\""));
            return;
        }
        AmountField *a = f[t];
        QLineEdit *e = editOf(a);
        QStringList texts;
        QList<double> values;
        for (AmountField *x : f) {
            texts << x->text();
            values << x->value();
        }
        QList<std::shared_ptr<QSignalSpy>> changed;
        for (AmountField *x : f)
            changed << std::make_shared<QSignalSpy>(x, &AmountField::changed);
        QSignalSpy refused(a, &AmountField::refused);
        msg::clearShown();

        const QString before = texts[t];
        const int selLen = int(e->selectedText().size());
        const int at = selLen ? e->selectionStart() : e->cursorPosition();
        QString kept = before;
        kept.remove(at, selLen);
        std::optional<QString> expected;
        bool refuse = false;
        bool stepped = false;
        const int kind = g.below(12);
        if (kind <= 5) {
            const QString k = g.pick(amountKeys());
            typeKey(a, k);
            if (!typedOk(kept, k, at)) {
                expected = before;
                refuse = true;
            } else {
                expected = kept.size() + 1 > AmountField::MaxLength ? before : kept.left(at) + k + kept.mid(at);
            }
        } else if (kind == 6) {
            const QString clip = g.chance(70) ? g.pick(amountClips()) : g.piece();
            paste(a, clip);
            const QString c = clip.trimmed();
            if (c.isEmpty()) {
                expected = before;
            } else if (!typedOk(kept, c, at) || kept.size() + c.size() > AmountField::MaxLength) {
                expected = before;
                refuse = true;
            } else {
                expected = kept.left(at) + c + kept.mid(at);
            }
        } else if (kind == 7) {
            QTest::keyClick(a, g.chance(50) ? Qt::Key_Backspace : Qt::Key_Delete);
        } else if (kind == 8) {
            const Qt::Key keys[] = {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right};
            QTest::keyClick(a, keys[g.below(4)], g.chance(30) ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (kind == 9) {
            const bool up = g.chance(50);
            QTest::keyClick(a, up ? Qt::Key_Up : Qt::Key_Down);
            stepped = true;
            QVERIFY2(a->value() == values[t] + (up ? 1.0 : -1.0), qPrintable(where + ": step"));
            QVERIFY2(twoDecimals(a->text()) && closeTo(a->text(), a->value()), qPrintable(where + ": stepped text"));
        } else {
            QTest::keySequence(a, QKeySequence::SelectAll);
        }

        const QString now = a->text();
        for (AmountField *x : f)
            QVERIFY2(amountChars(x->text()), qPrintable(where + ": \"" + x->text() + "\""));
        if (expected)
            QVERIFY2(now == *expected, qPrintable(where + ": \"" + before + "\" became \"" + now + "\", not \""
                                                  + *expected + "\""));
        QVERIFY2((refused.count() > 0) == refuse, qPrintable(where + ": beep"));
        if (!stepped) {
            const double v = wellFormed(now) && now != before ? now.toDouble() : values[t];
            QVERIFY2(a->value() == v, qPrintable(where + QStringLiteral(": value %1 for \"%2\"").arg(a->value()).arg(now)));
        }
        const bool moved = changed[t]->count() > 0;
        QVERIFY2(moved == (a->value() != values[t]), qPrintable(where + ": change event"));
        if (!linked || !moved)
            return;
        AmountField *total = f[0], *settled = f[1], *outstanding = f[2];
        if (t == 0) {
            QVERIFY2(settled->value() == total->value(), qPrintable(where + ": settled follows the total"));
            QVERIFY2(twoDecimals(settled->text()) && closeTo(settled->text(), settled->value()),
                     qPrintable(where + ": settled \"" + settled->text() + "\""));
        }
        if (t == 0 || t == 1) {
            if (plainDecimal(total->text())) {
                const QString want = outstandingOf(total->text(), settled->text());
                QVERIFY2(outstanding->text() == want,
                         qPrintable(where + ": " + total->text() + " - " + settled->text() + " shows as "
                                    + outstanding->text() + ", not " + want));
            } else {
                QVERIFY2(outstanding->text() == texts[2], qPrintable(where + ": outstanding changed"));
                QVERIFY2(errorBoxes() == QStringList{QStringLiteral("'%1' is not a valid floating point value")
                                                         .arg(total->text())},
                         qPrintable(where + ": " + errorBoxes().join('|')));
                return;
            }
        }
        QVERIFY2(errorBoxes().isEmpty(), qPrintable(where + ": " + errorBoxes().join('|')));
    }
};

// What a save stores of an amount field: its text when that is a plain decimal, else its
// value with two decimals.
void checkStored(const QString &stored, const QString &text, double value, const QString &where)
{
    QVERIFY2(plainDecimal(stored) && stored.size() <= 25, qPrintable(where + ": stored \"" + stored + "\""));
    if (plainDecimal(text))
        QVERIFY2(stored == text, qPrintable(where + ": stored \"" + stored + "\" for \"" + text + "\""));
    else
        QVERIFY2(twoDecimals(stored) && closeTo(stored, value),
                 qPrintable(where + ": stored \"" + stored + "\" for \"" + text + "\""));
}

// An exact sum of plain decimals, compared as numbers (the totals show "3.75", "150").
Int128 exactSum(const QStringList &texts)
{
    Int128 s = 0;
    for (const QString &t : texts)
        s += units(t, 18);
    return s;
}

// ---------------------------------------------------------------- search

// The engine's like without wildcards: contains, ASCII letters in either case.
QString foldAscii(const QString &t)
{
    QString out = t;
    for (QChar &c : out)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return out;
}
bool holds(const QString &hay, const QString &needle) { return foldAscii(hay).contains(foldAscii(needle)); }

// Picks a row of a pick-only box in its popup, as the mouse does.
void choose(QComboBox *box, int row)
{
    box->showPopup();
    QAbstractItemView *view = box->view();
    const QModelIndex index = view->model()->index(row, box->modelColumn());
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        testsupport::initApplication();
        OnlineCheck::setOverride([] { return false; });
        qInfo("fuzz seed %u (TALLYRUE_FUZZ_SEED chooses another)", fuzz::seed());
    }
    void init() { msg::clearShown(); }
    void cleanup()
    {
        // A failed row may leave a window open: the next row starts afresh.
        if (QTest::currentTestFailed())
            m_shared.reset();
    }
    void cleanupTestCase() { m_shared.reset(); }

    void textFieldsStoreWhatTheyShow_data();
    void textFieldsStoreWhatTheyShow();
    void passwordsOpenWhatTheySet();
    void phrasesReachTheFieldsWhole();
    void searchMatchesLiterally();
    void amountFieldsKeepTheirRules();
    void amountsStoredExactly_data();
    void amountsStoredExactly();
    void entryLineShowsTheSummaryAsTyped_data();
    void entryLineShowsTheSummaryAsTyped();

private:
    // One program for all rows of a test function: a start costs the key derivation of
    // three files, and the rows do not disturb each other.
    App &sharedApp()
    {
        if (!m_shared || m_sharedFor != QTest::currentTestFunction()) {
            m_shared.reset();
            m_shared = std::make_unique<App>();
            m_sharedFor = QTest::currentTestFunction();
        }
        return *m_shared;
    }
    std::unique_ptr<App> m_shared;
    QByteArray m_sharedFor;
};

enum class Field { BookName, BookRemark, Rename, Remark, Summary, Counterparty, Category, DetailSummary, DetailRemark };

void TestBadInput::textFieldsStoreWhatTheyShow_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("limit");
    QTest::newRow("new book: name") << int(Field::BookName) << 20;
    QTest::newRow("new book: remark") << int(Field::BookRemark) << 40;
    QTest::newRow("rename") << int(Field::Rename) << 20;
    QTest::newRow("book remark") << int(Field::Remark) << 40;
    QTest::newRow("new income: summary") << int(Field::Summary) << 160;
    QTest::newRow("new expense: counterparty") << int(Field::Counterparty) << 160;
    QTest::newRow("detail: category") << int(Field::Category) << 20;
    QTest::newRow("detail: summary") << int(Field::DetailSummary) << 160;
    QTest::newRow("detail: remark") << int(Field::DetailRemark) << 160;
}

void TestBadInput::textFieldsStoreWhatTheyShow()
{
    QFETCH(int, field);
    QFETCH(int, limit);
    const Field which = Field(field);
    App &app = sharedApp();
    QVERIFY(app.ready);
    TDataModule2 &dm = app.dm();
    if (which >= Field::Category && app.grid()->model()->rowCount() == 0) {
        app.addEntry(QStringLiteral("收入"), QStringLiteral("明细的记录"));
        app.tool("bsSkinSpeedButton4")->click();   // 刷新
    }
    fuzz::Gen g(fuzz::seed() + quint32(field));
    const Rules rules{limit, which == Field::Rename};

    for (int round = 0; round < 12; ++round) {
        const QString where = ctx(round);
        const QList<Act> acts = randomActs(g, round, limit);
        QString shown;
        bool saved = false;
        // Fills the field, gives a required one a character when it came out empty, saves.
        const auto fill = [&](QDialog *dialog, const char *name, bool required, const char *saveButton) {
            auto *f = dialog->findChild<QLineEdit *>(name);
            QVERIFY(f);
            if (f->hasSelectedText() || !f->text().isEmpty())
                QTest::keySequence(f, QKeySequence::SelectAll);
            replay(acts, f, rules, where);
            if (QTest::currentTestFailed())
                return;
            if (required && f->text().isEmpty())
                QTest::keyClick(f, 'x');
            shown = f->text();
            save(g, f, dialog->findChild<QPushButton *>(saveButton));
            saved = !dialog->isVisible();
        };
        const auto typeInto = [](QDialog *dialog, const char *name, const QString &text) {
            auto *f = dialog->findChild<QLineEdit *>(name);
            f->setFocus(Qt::OtherFocusReason);
            programfixture::typeText(f, text);
        };

        QString stored, displayed, key;
        switch (which) {
        case Field::BookName:
        case Field::BookRemark: {
            Tnew_zhangben *d = app.program.newBook();
            Drive drive(d, [&] {
                if (which == Field::BookRemark)
                    typeInto(d, "bsSkinEdit1", QStringLiteral("账本"));
                fill(d, which == Field::BookName ? "bsSkinEdit1" : "bsSkinEdit2", which == Field::BookName,
                     "bsSkinButton1");
            });
            app.tool("bsSkinSpeedButton1")->click();
            stored = firstValue(dm.conn_jz_m, which == Field::BookName
                                                  ? QStringLiteral("select a1 from jz_aa where a6 = '1'")
                                                  : QStringLiteral("select a3 from jz_aa where a6 = '1'"));
            displayed = which == Field::BookName ? app.book()->findChild<QLabel *>("bsSkinDBText16")->text() : stored;
            break;
        }
        case Field::Rename:
        case Field::Remark: {
            Tqiehuan *sw = app.program.switchDialog();
            QDialog *small = which == Field::Rename ? static_cast<QDialog *>(app.program.renameDialog())
                                                    : app.program.remarkDialog();
            Drive drive(sw, [&] {
                Drive inner(small, [&] { fill(small, "bsSkinEdit1", which == Field::Rename, "bsSkinButton2"); });
                QTest::mouseClick(sw->findChild<QToolButton *>(which == Field::Rename ? "bsSkinSpeedButton1"
                                                                                     : "bsSkinSpeedButton2"),
                                  Qt::LeftButton);
                key = sw->grid()->model()->index(0, 0).data().toString();
                displayed = sw->grid()->model()->index(0, which == Field::Rename ? 1 : 2).data().toString();
                QTest::mouseClick(sw->findChild<QPushButton *>("bsSkinButton2"), Qt::LeftButton);
            });
            app.openSwitch();
            stored = firstValue(dm.conn_jz_m, QStringLiteral("select %1 from jz_aa where aid = %2")
                                                  .arg(QLatin1String(which == Field::Rename ? "a1" : "a3"))
                                                  .arg(key.toInt()));
            break;
        }
        case Field::Summary:
        case Field::Counterparty: {
            const bool summary = which == Field::Summary;
            EntryDialog *d = summary ? app.program.newIncome() : app.program.newExpense();
            Drive drive(d, [&] {
                typeInto(d, summary ? "bsSkinEdit5" : "bsSkinEdit4", QStringLiteral("另一栏"));
                auto *total = d->findChild<AmountField *>("bsSkinEdit1");
                total->setFocus(Qt::OtherFocusReason);
                QTest::keyClicks(total, "1");
                fill(d, summary ? "bsSkinEdit4" : "bsSkinEdit5", true, "bsSkinButton1");
            });
            app.tool(summary ? "bsSkinSpeedButton2" : "bsSkinSpeedButton3")->click();
            stored = firstValue(dm.conn_jz_m, summary ? QStringLiteral("select b3 from jz_ab order by bid desc")
                                                      : QStringLiteral("select b4 from jz_ab order by bid desc"));
            QCOMPARE(firstValue(dm.conn_jz_f, summary ? QStringLiteral("select z1 from a1 order by zid desc")
                                                      : QStringLiteral("select z1 from a2 order by zid desc")),
                     stored);
            displayed = app.grid()->model()->index(0, summary ? 3 : 4).data().toString();
            break;
        }
        case Field::Category:
        case Field::DetailSummary:
        case Field::DetailRemark: {
            Tmingxi *w = app.program.detailWindow();
            DetailDialog *d = app.program.newDetail();
            const char *name = which == Field::Category ? "bsSkinEdit6" : which == Field::DetailSummary ? "bsSkinEdit7" : "bsSkinEdit8";
            Drive drive(w, [&] {
                Drive inner(d, [&] {
                    if (which != Field::Category)
                        typeInto(d, "bsSkinEdit6", QStringLiteral("类"));
                    if (which != Field::DetailSummary)
                        typeInto(d, "bsSkinEdit7", QStringLiteral("摘要"));
                    fill(d, name, which != Field::DetailRemark, "bsSkinButton1");
                });
                QTest::mouseClick(w->findChild<QToolButton *>("bsSkinSpeedButton1"), Qt::LeftButton);
                const int column = which == Field::Category ? 0 : which == Field::DetailSummary ? 2 : 3;
                displayed = w->grid()->model()->index(0, column).data().toString();
                w->reject();
            });
            app.tool("bsSkinSpeedButton12")->click();
            const char *col = which == Field::Category ? "ua1" : which == Field::DetailSummary ? "ua3" : "ua4";
            stored = firstValue(dm.conn_jz_u, QStringLiteral("select %1 from jz_ua order by uaid desc").arg(col));
            break;
        }
        }
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(saved, qPrintable(where + ": the dialog stayed open; " + msg::lastShown().text));
        QVERIFY2(stored == shown, qPrintable(where + ": stored \"" + stored + "\" for \"" + shown + "\""));
        QVERIFY2(displayed == shown, qPrintable(where + ": shown afterwards as \"" + displayed + "\""));
        QVERIFY2(msg::shown().isEmpty(), qPrintable(where + ": " + msg::lastShown().text));
    }
}

void TestBadInput::passwordsOpenWhatTheySet()
{
    Run run;
    QVERIFY(run.start());
    fuzz::Gen g(fuzz::seed() + 100);
    const Rules rules{PasswordField::kMaxLength, false, true};
    QList<Act> previous;
    QString lastSet;   // the password as typed; the row keeps only its hash
    for (int round = 0; round < 10; ++round) {
        const QString where = ctx(round);
        // The same keys go into every field that takes the password, as the user types them.
        const QList<Act> acts = round == 0 ? QList<Act>{{Act::Paste, QStringLiteral("\uFEFF 234567") + QChar(0)
                                                                         + fuzz::u(U'\U0001F600')}}
                                           : randomActs(g, round, 10);
        Tset_mima *window = run.program.passwordWindow();
        QString typed;
        msg::clearShown();
        Drive drive(window, [&] {
            auto field = [&](const char *name) { return window->findChild<PasswordField *>(name); };
            auto *box = window->findChild<QCheckBox *>("bsSkinCheckRadioBox1");
            if (!box->isChecked())
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            const bool change = field("bsSkinEdit1")->isVisible();
            if (change)
                replay(previous, field("bsSkinEdit1"), rules, where + ", old");
            replay(acts, field("bsSkinEdit4"), rules, where + ", new");
            replay(acts, field("bsSkinEdit2"), rules, where + ", again");
            if (QTest::currentTestFailed())
                return;
            typed = field("bsSkinEdit4")->text();
            QCOMPARE(field("bsSkinEdit2")->text(), typed);
            QTest::mouseClick(window->findChild<QPushButton *>(change ? "bsSkinButton3" : "bsSkinButton1"),
                              Qt::LeftButton);
        });
        run.openSection(1);
        run.clickAt(run.nav()->item(1, 0));
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(drive.ran, qPrintable(where));
        if (typed.isEmpty()) {
            QCOMPARE(msg::lastShown().text, QStringLiteral("请填写密码"));
            // The lock stays as it was: on after an earlier round, so the old keys open it.
            if (!run.locked())
                continue;
            typed = lastSet;
            QVERIFY(!previous.isEmpty());
        } else {
            QVERIFY2(msg::lastShown().text == QStringLiteral("密码已经设置"), qPrintable(where + ": " + msg::lastShown().text));
            const QStringList stored = run.storedSettings();
            QVERIFY2(stored.mid(1) == (QStringList{"1", "1"}) && LockPassword::isHash(stored[0])
                         && LockPassword::matches(typed, stored[0]),
                     qPrintable(where + ": stored " + stored.join('|')));
            previous = acts;
            lastSet = typed;
        }
        QVERIFY(run.locked());
        // A password with one character more or less does not open the lock.
        msg::clearShown();
        PasswordField *pass = run.passEdit();
        replay(previous, pass, rules, where + ", wrong");
        if (QTest::currentTestFailed())
            return;
        QTest::keyClick(pass, Qt::Key_End);
        if (pass->text().size() < PasswordField::kMaxLength)
            QTest::keyClick(pass, 'x');
        else
            QTest::keyClick(pass, Qt::Key_Backspace);
        QVERIFY(pass->text() != typed);
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(msg::lastShown().text, QStringLiteral("您输入的密码错误"));
        QVERIFY(run.locked());
        // The same keys as when it was set open it.
        msg::clearShown();
        replay(previous, pass, rules, where + ", unlock");
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(pass->text() == typed, qPrintable(where));
        QTest::keyClick(pass, Qt::Key_Return);
        QVERIFY2(!run.locked(), qPrintable(where + ": the password set does not open the lock; " + msg::lastShown().text));
        QVERIFY(msg::shown().isEmpty());
    }
}

void TestBadInput::phrasesReachTheFieldsWhole()
{
    App app;
    QVERIFY(app.ready);
    TDataModule2 &dm = app.dm();
    fuzz::Gen g(fuzz::seed() + 200);
    const Rules rules{160};
    Tlist *manager = app.program.menuManager();
    for (int round = 0; round < 10; ++round) {
        const QString where = ctx(round);
        const bool summaries = round % 2 == 0;
        const QList<Act> acts = randomActs(g, round, 160);
        EntryDialog *d = app.program.newIncome();
        QString phrase, listed, stored, field;
        Drive drive(d, [&] {
            Drive manage(manager, [&] {
                QWidget *panel = manager->findChild<QWidget *>(summaries ? "caidan_zhaiyao" : "caidan_danwei");
                auto *grid = panel->findChild<DataGrid *>(summaries ? "bsSkinDBGrid2" : "bsSkinDBGrid1");
                QTest::mouseClick(panel->findChild<QToolButton *>("nbInsert"), Qt::LeftButton);
                QTest::keyClick(grid, Qt::Key_Return);   // opens the cell editor
                auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
                QVERIFY2(editor && grid->isAncestorOf(editor), qPrintable(where + ": no cell editor"));
                replay(acts, editor, rules, where);
                if (QTest::currentTestFailed())
                    return;
                if (editor->text().trimmed().isEmpty())
                    QTest::keyClick(editor, 'x');
                phrase = editor->text();
                QTest::mouseClick(panel->findChild<QToolButton *>("nbPost"), Qt::LeftButton);
                listed = grid->currentIndex().data().toString();
                stored = firstValue(dm.conn_jz_f, summaries ? QStringLiteral("select z1 from a1 order by zid desc")
                                                            : QStringLiteral("select z1 from a2 order by zid desc"));
                QTest::mouseClick(panel->findChild<QPushButton *>(summaries ? "bsSkinButton1" : "bsSkinButton3"),
                                  Qt::LeftButton);
            });
            QTest::mouseClick(d->findChild<QToolButton *>(summaries ? "bsSkinSpeedButton1" : "bsSkinSpeedButton2"),
                              Qt::LeftButton);
            if (QTest::currentTestFailed())
                return;
            field = summaries ? d->summaryText() : d->counterpartyText();
            auto *other = d->findChild<QLineEdit *>(summaries ? "bsSkinEdit5" : "bsSkinEdit4");
            other->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(other, "o");
            auto *total = d->findChild<AmountField *>("bsSkinEdit1");
            total->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(total, "1");
            QTest::keyClick(total, Qt::Key_Return);
        });
        app.tool("bsSkinSpeedButton2")->click();
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(listed == phrase, qPrintable(where + ": listed as \"" + listed + "\" for \"" + phrase + "\""));
        QVERIFY2(stored == phrase, qPrintable(where + ": stored \"" + stored + "\" for \"" + phrase + "\""));
        QVERIFY2(field == phrase, qPrintable(where + ": the field took \"" + field + "\" of \"" + phrase + "\""));
        const QString entry = firstValue(dm.conn_jz_m, summaries ? QStringLiteral("select b3 from jz_ab order by bid desc")
                                                                 : QStringLiteral("select b4 from jz_ab order by bid desc"));
        QVERIFY2(entry == phrase, qPrintable(where + ": the entry holds \"" + entry + "\""));
        QVERIFY2(msg::shown().isEmpty(), qPrintable(where + ": " + msg::lastShown().text));
    }
}

void TestBadInput::searchMatchesLiterally()
{
    App app;
    QVERIFY(app.ready);
    TDataModule2 &dm = app.dm();
    fuzz::Gen g(fuzz::seed() + 300);
    // Short pieces, so that one phrase often lies inside another entry's text.
    const QStringList atoms = {"%", "_", "\\", "'", "a", "A", "\u00E4", "\u00C4", "%a", "a_", "\\%", "\u200F", "e\u0301",
                               "\u00E9", fuzz::u(U'\U0001F600'), fuzz::u(0xFEFF), "收", "''", "[a]", "_%", "\uFF05"};
    const auto phrase = [&](int most) {
        QString s;
        const int n = g.between(1, most);
        for (int i = 0; i < n; ++i)
            s += g.pick(atoms);
        return s;
    };
    struct Entry { QString bid, kind, summary, party; };
    QList<Entry> entries;
    for (int i = 0; i < 18; ++i) {
        const bool income = g.chance(50);
        EntryDialog *d = income ? app.program.newIncome() : app.program.newExpense();
        Entry e{{}, income ? QStringLiteral("收入") : QStringLiteral("支出"), phrase(3), phrase(2)};
        Drive drive(d, [&] {
            paste(d->findChild<QLineEdit *>("bsSkinEdit4"), e.summary);
            paste(d->findChild<QLineEdit *>("bsSkinEdit5"), e.party);
            auto *total = d->findChild<AmountField *>("bsSkinEdit1");
            total->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(total, "1");
            QTest::keyClick(total, Qt::Key_Return);
        });
        app.tool(income ? "bsSkinSpeedButton2" : "bsSkinSpeedButton3")->click();
        QVERIFY2(drive.ran && !drive.stayedOpen, qPrintable(ctx(i) + ": " + esc(e.summary) + " " + esc(e.party) + " " + msg::lastShown().text));
        e.bid = firstValue(dm.conn_jz_m, QStringLiteral("select bid from jz_ab order by bid desc"));
        QCOMPARE(firstValue(dm.conn_jz_m, QStringLiteral("select b3 from jz_ab order by bid desc")), e.summary);
        entries << e;
    }
    // Another book holds the same texts: none of its entries may ever be listed.
    app.addBook(12, QStringLiteral("十二"), false);
    for (const Entry &e : entries.mid(0, 6))
        app.addEntry(e.kind, e.summary, QStringLiteral("12"));

    // Every piece on its own is a phrase too, as the menu item manager may add it.
    for (const QString &atom : atoms) {
        app.dm().conn_jz_f.exec(QStringLiteral("insert into a1 (z1) values (:a)"), {{":a", atom}});
        app.dm().conn_jz_f.exec(QStringLiteral("insert into a2 (z1) values (:a)"), {{":a", atom}});
    }
    dm.Query_jz_a1->reopen();
    dm.Query_jz_a2->reopen();

    QuickSearch *panel = app.book()->quickSearch();
    app.tool("bsSkinSpeedButton7")->click();
    QVERIFY(panel->isVisible());
    QComboBox *boxes[] = {panel->kindBox(), panel->summaryBox(), panel->partyBox()};
    QString chosen[3];
    const auto pick = [&](int b, int row) {
        choose(boxes[b], row);
        chosen[b] = boxes[b]->model()->index(row, boxes[b]->modelColumn()).data().toString();
    };
    // First each piece alone in the summary box and in the counterparty box, then choices at
    // random, from a cleared panel or on top of the last search.
    const int single = int(2 * atoms.size());
    for (int round = 0; round < single + 30; ++round) {
        const QString where = ctx(round);
        if (round < single || g.chance(60)) {
            QTest::mouseClick(panel->findChild<QPushButton *>("bsSkinButton2"), Qt::LeftButton);   // 清 空
            for (int b = 0; b < 3; ++b) {
                QVERIFY2(boxes[b]->currentIndex() == -1, qPrintable(where + ": a box kept its phrase"));
                chosen[b].clear();
            }
        }
        if (round < single) {
            const int b = 1 + round % 2;
            pick(b, boxes[b]->findText(atoms[round / 2]));
        } else {
            for (int b = 0; b < 3; ++b)
                if (g.chance(b == 0 ? 30 : 50))
                    pick(b, g.below(boxes[b]->count()));
        }
        for (int b = 0; b < 3; ++b)
            QVERIFY2(boxes[b]->currentText() == chosen[b], qPrintable(where + ": the box shows another phrase"));
        if (g.chance(70)) {
            QTest::mouseClick(panel->findChild<QPushButton *>("bsSkinButton1"), Qt::LeftButton);   // 速 查
        } else {
            boxes[1]->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(boxes[1], Qt::Key_Return);
        }
        QStringList expected;
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            if (holds(it->kind, chosen[0]) && holds(it->summary, chosen[1]) && holds(it->party, chosen[2]))
                expected << it->bid;
        const QStringList listed = fixture::listedBids(app.grid());
        QVERIFY2(listed == expected,
                 qPrintable(where + ": " + esc(chosen[0]) + " " + esc(chosen[1]) + " " + esc(chosen[2])
                            + " listed " + listed.join(',') + ", expected " + expected.join(',')));
        QVERIFY2(msg::shown().isEmpty(), qPrintable(where + ": " + msg::lastShown().text));
    }
}

void TestBadInput::amountFieldsKeepTheirRules()
{
    App app;
    QVERIFY(app.ready);
    TDataModule2 &dm = app.dm();
    fuzz::Gen g(fuzz::seed() + 400);
    for (int round = 0; round < 14; ++round) {
        const QString where = ctx(round);
        const bool detail = round % 5 == 4;
        const bool income = round % 2 == 0;
        QStringList texts;
        QList<double> values;
        bool saved = false;
        // The amounts of one dialog, worked on at random; the save then reads them.
        const auto work = [&](QDialog *d, Amounts a) {
            for (int s = 0; s < 45; ++s) {
                a.step(g, ctx(round, s));
                if (QTest::currentTestFailed())
                    return;
            }
            if (a.f[0]->text().isEmpty()) {
                QTest::keyClick(a.f[a.focused], Qt::Key_Return);
                QVERIFY2(msg::lastShown().text == kRequired && d->isVisible(), qPrintable(where));
                msg::clearShown();
                a.f[0]->setFocus(Qt::OtherFocusReason);
                a.focused = 0;
                QTest::keyClick(a.f[0], '7');
            }
            const auto capture = [&] {
                for (AmountField *x : a.f) {
                    texts << x->text();
                    values << x->value();
                }
            };
            if (g.chance(50)) {
                capture();
                QTest::keyClick(a.f[a.focused], Qt::Key_Return);
            } else {
                // The press moves the focus (the field left rewrites its text), the release saves.
                auto *button = d->findChild<QPushButton *>("bsSkinButton1");
                QTest::mousePress(button, Qt::LeftButton);
                capture();
                QTest::mouseRelease(button, Qt::LeftButton);
            }
            saved = !d->isVisible();
        };
        if (detail) {
            Tmingxi *w = app.program.detailWindow();
            DetailDialog *d = app.program.newDetail();
            Drive drive(w, [&] {
                Drive inner(d, [&] {
                    for (const char *name : {"bsSkinEdit6", "bsSkinEdit7"}) {
                        auto *f = d->findChild<QLineEdit *>(name);
                        f->setFocus(Qt::OtherFocusReason);
                        QTest::keyClicks(f, "x");
                    }
                    auto *amount = d->findChild<AmountField *>("bsSkinSpinEdit1");
                    QTest::mouseClick(editOf(amount), Qt::LeftButton);
                    work(d, Amounts{{amount}, false, 0});
                });
                QTest::mouseClick(w->findChild<QToolButton *>("bsSkinSpeedButton1"), Qt::LeftButton);
                w->reject();
            });
            app.tool("bsSkinSpeedButton12")->click();
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(saved, qPrintable(where + ": " + msg::lastShown().text));
            checkStored(firstValue(dm.conn_jz_u, QStringLiteral("select ua5 from jz_ua order by uaid desc")),
                        texts[0], values[0], where);
            continue;
        }
        EntryDialog *d = income ? app.program.newIncome() : app.program.newExpense();
        Drive drive(d, [&] {
            for (const char *name : {"bsSkinEdit4", "bsSkinEdit5"}) {
                auto *f = d->findChild<QLineEdit *>(name);
                f->setFocus(Qt::OtherFocusReason);
                QTest::keyClicks(f, "x");
            }
            Amounts a{{d->findChild<AmountField *>("bsSkinEdit1"), d->findChild<AmountField *>("bsSkinEdit2"),
                       d->findChild<AmountField *>("bsSkinEdit3")},
                      true, 0};
            QTest::mouseClick(editOf(a.f[0]), Qt::LeftButton);
            work(d, a);
        });
        app.tool(income ? "bsSkinSpeedButton2" : "bsSkinSpeedButton3")->click();
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(saved, qPrintable(where + ": " + msg::lastShown().text));
        const QStringList columns = income ? QStringList{"b5", "b6", "b7"} : QStringList{"b8", "b9", "b10"};
        for (int i = 0; i < 3; ++i)
            checkStored(firstValue(dm.conn_jz_m, QStringLiteral("select %1 from jz_ab order by bid desc").arg(columns[i])),
                        texts[i], values[i], where + ", " + columns[i]);
        if (QTest::currentTestFailed())
            return;
    }
    // The six totals are the exact sums of what was stored.
    for (int i = 0; i < 6; ++i) {
        const QString column = QStringLiteral("b%1").arg(i + 5);
        Query q(&dm.conn_jz_m, QStringLiteral("probe"));
        q.setSql(QStringLiteral("select %1 from jz_ab where %1 is not null").arg(column));
        q.open();
        QStringList stored;
        for (int r = 0; r < q.rowCount(); ++r)
            stored << q.value(r, 0);
        const QString shown = app.book()->totalLabel(i)->text();
        if (stored.isEmpty()) {
            QCOMPARE(shown, QString());
            continue;
        }
        QVERIFY2(plainDecimal(shown) && units(shown, 18) == exactSum(stored),
                 qPrintable(column + ": " + shown + " for " + stored.join('+')));
    }
}

void TestBadInput::amountsStoredExactly_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("settled");   // empty: not touched
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("ten trillion less a cent") << "99999999999999" << "0.01" << true
                                              << QStringList{"99999999999999.00", "0.01", "99999999999998.99"};
    QTest::newRow("largest total less a cent") << "999999999999999" << "0.01" << false
                                               << QStringList{"999999999999999.00", "0.01", "999999999999998.99"};
    QTest::newRow("below zero") << "-99999999999999" << "0.99" << false
                                << QStringList{"-99999999999999.00", "0.99", "-99999999999999.99"};
    QTest::newRow("point first, by Enter") << ".5" << "" << true << QStringList{".5", "0.50", "0.00"};
    QTest::newRow("lone minus settled") << "12" << "-" << true << QStringList{"12.00", "12.00", "0.00"};
}

// Typed into the new-income dialog and saved: the file holds the texts as the fields show
// them, to the cent however large the amount.
void TestBadInput::amountsStoredExactly()
{
    QFETCH(QString, total);
    QFETCH(QString, settled);
    QFETCH(bool, byEnter);
    QFETCH(QStringList, stored);
    App &app = sharedApp();
    QVERIFY(app.ready);
    EntryDialog *d = app.program.newIncome();
    QStringList shown;
    Drive drive(d, [&] {
        for (const char *name : {"bsSkinEdit4", "bsSkinEdit5"}) {
            auto *f = d->findChild<QLineEdit *>(name);
            f->setFocus(Qt::OtherFocusReason);
            QTest::keyClicks(f, "x");
        }
        auto *fields = d->findChild<QGroupBox *>("amountGroup");
        AmountField *last = nullptr;
        for (const auto &[name, keys] : {std::pair{"bsSkinEdit1", total}, std::pair{"bsSkinEdit2", settled}}) {
            if (keys.isEmpty())
                continue;
            last = fields->findChild<AmountField *>(name);
            QTest::mouseClick(editOf(last), Qt::LeftButton);
            QTest::keySequence(last, QKeySequence::SelectAll);
            QTest::keyClicks(last, keys);
        }
        if (byEnter) {
            QTest::keyClick(last, Qt::Key_Return);
        } else {
            auto *button = d->findChild<QPushButton *>("bsSkinButton1");
            QTest::mousePress(button, Qt::LeftButton);
            for (const char *name : {"bsSkinEdit1", "bsSkinEdit2", "bsSkinEdit3"})
                shown << fields->findChild<AmountField *>(name)->text();
            QTest::mouseRelease(button, Qt::LeftButton);
        }
    });
    app.tool("bsSkinSpeedButton2")->click();
    QVERIFY(drive.ran && !drive.stayedOpen);
    if (!byEnter)
        QCOMPARE(shown, stored);
    Query q(&app.dm().conn_jz_m, QStringLiteral("probe"));
    q.setSql(QStringLiteral("select b5, b6, b7 from jz_ab order by bid desc"));
    q.open();
    QCOMPARE((QStringList{q.value(0, 0), q.value(0, 1), q.value(0, 2)}), stored);
    // The outstanding total is the exact sum of the stored texts.
    QStringList column;
    for (int r = 0; r < q.rowCount(); ++r)
        column << q.value(r, 2);
    const QString sum = app.book()->totalLabel(2)->text();
    QVERIFY2(plainDecimal(sum) && units(sum, 18) == exactSum(column), qPrintable(sum));
}

void TestBadInput::entryLineShowsTheSummaryAsTyped_data()
{
    QTest::addColumn<QString>("summary");
    QTest::newRow("markup") << QStringLiteral("<b>粗</b>");
    QTest::newRow("picture") << QStringLiteral("<img src=\"x.png\">款");
    QTest::newRow("entity and blanks") << QStringLiteral("a  &amp;  b");
    QTest::newRow("comment") << QStringLiteral("<!-- 藏 -->");
}

// The detail window's entry line and its tool tip show the summary as text, markup and all.
void TestBadInput::entryLineShowsTheSummaryAsTyped()
{
    QFETCH(QString, summary);
    App &app = sharedApp();
    QVERIFY(app.ready);
    app.addEntry(QStringLiteral("收入"), summary);
    app.book()->findChild<QToolButton *>("bsSkinSpeedButton4")->click();   // 刷新
    const QString line = QStringLiteral("收入,%1, 总额1.00 已收1.00 应收0.00  2026-12- 1").arg(summary);
    Tmingxi *w = app.program.detailWindow();
    QString text, tip;
    Drive drive(w, [&] {
        auto *label = w->findChild<QLabel *>("bsSkinStdLabel4");
        QCOMPARE(label->textFormat(), Qt::PlainText);
        text = label->text();
        QHelpEvent help(QEvent::ToolTip, label->rect().center(), label->mapToGlobal(label->rect().center()));
        QApplication::sendEvent(label, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument shown;
        if (Qt::mightBeRichText(QToolTip::text()))
            shown.setHtml(QToolTip::text());
        else
            shown.setPlainText(QToolTip::text());
        tip = shown.toPlainText();
        QToolTip::hideText();
        w->reject();
    });
    app.tool("bsSkinSpeedButton12")->click();
    QVERIFY(drive.ran);
    QCOMPARE(text, line);
    QCOMPARE(tip, line);
}

QTEST_MAIN(TestBadInput)
#include "tst_bad_input.moc"
