#include "ui/password_field.h"

#include <QValidator>

namespace {

// Drops every blank (the ideographic one of Chinese input too) and keeps the caret where
// the user left it.
class NoBlanks : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        QString kept;
        kept.reserve(input.size());
        int newPos = pos;
        for (int i = 0; i < input.size(); ++i) {
            if (input.at(i).isSpace()) {
                if (i < pos)
                    --newPos;
                continue;
            }
            kept.append(input.at(i));
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = newPos;
        }
        return Acceptable;
    }
};

} // namespace

PasswordField::PasswordField(QWidget *parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    setMaxLength(kMaxLength);
    setValidator(new NoBlanks(this));
}
