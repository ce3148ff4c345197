#include "app/context_menu_filter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

ContextMenuFilter::ContextMenuFilter(QWidget *view, QObject *parent)
    : QObject(parent ? parent : (view ? view->window() : nullptr)), m_view(view)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

ContextMenuFilter::~ContextMenuFilter()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool ContextMenuFilter::eventFilter(QObject *watched, QEvent *event)
{
    bool menuEvent = false;
    switch (event->type()) {
    case QEvent::ContextMenu:
        menuEvent = true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        menuEvent = static_cast<QMouseEvent *>(event)->button() == Qt::RightButton;
        break;
    default:
        break;
    }
    if (!menuEvent || !m_view || !watched->isWidgetType())
        return false;
    auto *target = static_cast<QWidget *>(watched);
    return target == m_view || m_view->isAncestorOf(target);
}
