#pragma once
// A modal window cannot be minimised: some window managers offer the button whatever the
// window asks for, and a minimised modal dialog takes the whole program out of sight while
// it still blocks it. One filter on the application puts such a window back at once.
#include <QObject>

class ModalStaysUp : public QObject
{
public:
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
