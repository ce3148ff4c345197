#pragma once
#include <QObject>

class QAbstractItemView;

// Over a read-only grid one wheel notch moves the current row by exactly one row:
// towards the user to the next row, away to the previous one. The grid never scrolls
// by the wheel, and nothing happens at the ends. A touchpad's small steps add up to a
// notch; its phase events without movement and sideways swipes move nothing.
class WheelRule : public QObject
{
    Q_OBJECT
public:
    // Installs itself on the view and its viewport; owned by the view.
    static WheelRule *install(QAbstractItemView *view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WheelRule(QAbstractItemView *view);
    void moveBy(int rows);

    QAbstractItemView *m_view;
    int m_partial = 0;   // eighths of a degree towards the next notch, signed
};
