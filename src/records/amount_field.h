#pragma once
// The amount field of the entry and detail dialogs: a spin box over a double whose text
// stays as the user typed it until the field loses the focus.
#include <QAbstractSpinBox>
#include <QString>

class AmountField : public QAbstractSpinBox
{
    Q_OBJECT
public:
    static constexpr int MaxLength = 15;
    // The longest text a typed amount becomes: 15 characters and ".00".
    static constexpr int LongestText = MaxLength + 3;

    explicit AmountField(QWidget *parent = nullptr);

    double value() const { return m_value; }
    // Program-set value: the text is rewritten with two decimals and changed() is always emitted.
    void setValue(double v);
    // Program-set value given as its exact text with two decimals (as difference() gives it):
    // the field shows those digits, also where a double no longer holds the cents, and
    // keeps them when it loses the focus. changed() is always emitted.
    void setExactValue(const QString &twoDecimals);

    QString text() const;
    // Program-set text: it stands as set (no length limit) and the value follows it when
    // it is well-formed, emitting changed() when that moves the value.
    void setText(const QString &t);
    // A number with more than two decimals rounded to cents on its digits, halves away from
    // zero (2.675 -> 2.68, -2.675 -> -2.68); any other text as it is.
    static QString roundedText(const QString &t);
    // The field's amount with exactly two decimals, taken from its digits where the text is
    // a number, so that a value that follows it keeps every cent.
    QString exactText() const;

    // Not empty, not a lone "-", only digits, "-" and "."; "-" at most once and only first;
    // "." at most once and not first.
    static bool isWellFormed(const QString &t);
    // Two decimals, fixed notation, no grouping; never "-0.00".
    static QString format(double v);
    // total - settled, each read exactly as a fixed-point number with four decimals; the result
    // has two decimals (halves away from zero). Throws std::runtime_error
    // "'<text>' is not a valid floating point value" when an operand is not a number.
    static QString difference(const QString &total, const QString &settled);
    // What the dialogs store: the text when it is a plain decimal number (digits with at most
    // one point, a "-" first, ".5" too), as the sums read it exactly; else the value with
    // two decimals.
    static QString storedText(const QString &text, double value);

    // The width at which a text of that many characters shows whole in the field's own
    // font; dialogs size the field by it (the font is never made smaller to fit).
    int widthFor(int chars) const;

    void stepBy(int steps) override;

Q_SIGNALS:
    void changed();
    // A key or a paste was refused (after the beep).
    void refused();

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTextChanged(const QString &t);
    void rewriteFromValue();
    enum class Typed { Ok, Refused, TooLong };
    // Whether typing s (over the selection) passes the character rules and the length limit.
    Typed checkTyped(const QString &s) const;
    void refuse();
    void pasteFrom(int mode);

    double m_value = 0.0;
    QString m_exact;       // the exact text of m_value when the program gave one
    bool m_rewriting = false;
    bool m_focusPress = false;  // the focus came by a click whose press is still to come
    bool m_swallowDrag = false; // that press was swallowed: its drag and release are too
};
