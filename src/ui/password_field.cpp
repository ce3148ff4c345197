#include "ui/password_field.h"

#include "ui/line_text.h"

PasswordField::PasswordField(QWidget *parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    setMaxLength(kMaxLength);
    // Every blank goes (the ideographic one of Chinese input too), and with it whatever a
    // line edit shows as a blank; the caret stays where the user left it.
    setValidator(new ui::LineTextValidator(this, true));
}
