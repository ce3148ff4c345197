#pragma once
// The password field of the lock panel and the password window: bullets, at most 10
// characters, and never a blank: blanks typed, pasted or set are dropped, so every
// password the program stores or compares is free of them.
#include <QLineEdit>

class PasswordField : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int kMaxLength = 10;

    explicit PasswordField(QWidget *parent = nullptr);
};
