#include "ui/wheel_rule.h"

#include <QAbstractItemView>
#include <QWheelEvent>

WheelRule::WheelRule(QAbstractItemView *view) : QObject(view), m_view(view) {}

WheelRule *WheelRule::install(QAbstractItemView *view)
{
    auto *rule = new WheelRule(view);
    view->installEventFilter(rule);
    view->viewport()->installEventFilter(rule);
    return rule;
}

bool WheelRule::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return false;
    auto *wheel = static_cast<QWheelEvent *>(event);
    const QPoint delta = wheel->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    QAbstractItemModel *model = m_view->model();
    if (model && model->rowCount() > 0) {
        const QModelIndex cur = m_view->currentIndex();
        const int row = cur.isValid() ? cur.row() : 0;
        const int target = d < 0 ? row + 1 : row - 1;
        if (target >= 0 && target < model->rowCount()) {
            const int col = cur.isValid() ? cur.column() : 0;
            m_view->setCurrentIndex(model->index(target, col));
        }
    }
    event->accept();
    return true;
}
