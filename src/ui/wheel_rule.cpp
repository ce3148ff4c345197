#include "ui/wheel_rule.h"

#include <QAbstractItemView>
#include <QWheelEvent>

namespace {
// One notch of an ordinary wheel, in eighths of a degree.
constexpr int kNotch = 120;
} // namespace

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
    // Every wheel event stops here, so the grid never scrolls by the wheel.
    event->accept();
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (wheel->phase() == Qt::ScrollBegin || wheel->phase() == Qt::ScrollEnd)
        m_partial = 0;

    // Only turns towards or away from the user count: a sideways swipe, or the phase
    // events a touchpad sends without any movement, leave the selection where it is.
    const QPoint delta = wheel->angleDelta();
    if (delta.y() == 0 || qAbs(delta.x()) > qAbs(delta.y()))
        return true;

    const int sign = delta.y() < 0 ? -1 : 1;
    if (qAbs(delta.y()) >= kNotch) {
        // A notch, or several turned at once: one row, as the rule says.
        m_partial = 0;
    } else {
        // A smooth wheel or a touchpad: small steps add up to a notch.
        if (m_partial != 0 && (m_partial < 0) != (sign < 0))
            m_partial = 0;
        m_partial += delta.y();
        if (qAbs(m_partial) < kNotch)
            return true;
        m_partial -= sign * kNotch;
    }
    // Towards the user (negative) selects the next row.
    moveBy(sign < 0 ? 1 : -1);
    return true;
}

void WheelRule::moveBy(int rows)
{
    QAbstractItemModel *model = m_view->model();
    if (!model || model->rowCount() == 0)
        return;
    const QModelIndex cur = m_view->currentIndex();
    const int row = cur.isValid() ? cur.row() : 0;
    const int target = row + rows;
    if (target >= 0 && target < model->rowCount())
        m_view->setCurrentIndex(model->index(target, cur.isValid() ? cur.column() : 0));
}
