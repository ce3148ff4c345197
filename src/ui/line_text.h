#pragma once
// One-line text fields hold what they show. A line edit draws line breaks, tabs and other
// control characters as blanks, and a lone surrogate half (what a paste cut at the field's
// limit leaves of an emoji) is no character at all and would reach the file as "?". So the
// first become blanks and the second are dropped, however the text arrives: typed, pasted,
// committed by an input method or set by the program.
#include <QString>
#include <QValidator>

class QLineEdit;

namespace ui {

// The text as a one-line field holds it; a CR LF pair is one line break, so one blank.
QString lineText(const QString &text);

// Keeps a line edit's text to lineText(); with dropBlanks, blanks go too.
class LineTextValidator : public QValidator
{
public:
    explicit LineTextValidator(QObject *parent, bool dropBlanks = false)
        : QValidator(parent), m_dropBlanks(dropBlanks) {}
    State validate(QString &input, int &pos) const override;

private:
    bool m_dropBlanks;
};

// Installs the validator on a plain text field.
void keepLineText(QLineEdit *edit);

} // namespace ui
