#include "app/after_first_paint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class Watch : public QObject
{
public:
    Watch(QWidget *window, std::function<bool()> ready, std::function<void()> step)
        : QObject(window), m_window(window), m_ready(std::move(ready)), m_step(std::move(step))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_done && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == m_window && (!m_ready || m_ready())) {
            m_done = true;
            QTimer::singleShot(0, this, [this] {
                QCoreApplication::instance()->removeEventFilter(this);
                m_step();
                deleteLater();
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    std::function<bool()> m_ready;
    std::function<void()> m_step;
    bool m_done = false;
};

} // namespace

void afterFirstPaint(QWidget *window, std::function<bool()> ready, std::function<void()> step)
{
    QCoreApplication::instance()->installEventFilter(new Watch(window, std::move(ready), std::move(step)));
}
