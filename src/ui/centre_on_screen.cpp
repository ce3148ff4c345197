#include "ui/centre_on_screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {

void centreOnScreen(QWidget *window)
{
    QScreen *s = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QRect frame = window->frameGeometry();
    window->move(avail.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

} // namespace ui
