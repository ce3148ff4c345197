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
    // The client area is placed, not the frame: the frame's size is known only after the
    // first showing, and a frame position is read back by the window manager with the
    // title bar added, which moved a dialog lower on every later showing.
    QRect client(QPoint(0, 0), window->size());
    client.moveCenter(s->availableGeometry().center());
    window->setGeometry(client);
}

} // namespace ui
