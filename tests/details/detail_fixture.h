#pragma once
// Drives modal dialogs from a test: the check runs inside the dialog's own exec.
#include <QtTest>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace fixture {

// Runs act once the dialog is up inside its exec, then closes it if act left it open.
inline void whenShown(QDialog *dialog, std::function<void()> act)
{
    class Once : public QObject
    {
    public:
        Once(QDialog *d, std::function<void()> a) : QObject(d), m_act(std::move(a)) { d->installEventFilter(this); }

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show) {
                auto *d = static_cast<QDialog *>(watched);
                d->removeEventFilter(this);
                QTimer::singleShot(0, d, [d, act = m_act, self = this] {
                    d->activateWindow();
                    if (QTest::qWaitFor([d] { return d->isActiveWindow(); }))
                        act();
                    else
                        QTest::qFail("dialog not active", __FILE__, __LINE__);
                    if (d->isVisible())
                        d->reject();
                    self->deleteLater();
                });
            }
            return false;
        }

    private:
        std::function<void()> m_act;
    };
    new Once(dialog, std::move(act));
}

} // namespace fixture
