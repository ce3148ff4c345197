#include "app/modal_stays_up.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

void ModalStaysUp::install()
{
    static ModalStaysUp *filter = nullptr;
    if (filter)
        return;
    filter = new ModalStaysUp(qApp);
    qApp->installEventFilter(filter);
}

bool ModalStaysUp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        if (w->isWindow() && w->isModal() && (w->windowState() & Qt::WindowMinimized)) {
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
            // The window manager may have taken the parent along: bring both back.
            if (QWidget *parent = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
                if (parent->isMinimized())
                    parent->setWindowState(parent->windowState() & ~Qt::WindowMinimized);
            }
            w->raise();
            w->activateWindow();
        }
    }
    return QObject::eventFilter(watched, event);
}
