#pragma once
// Keeps context menus out of one web view: an application-wide event filter that swallows
// right-button presses, releases and double clicks and context-menu events whose receiver
// is the view or one of its children. Everything else, and everything aimed at other
// widgets, passes. Several filters (one per window with a web view) coexist.
#include <QObject>
#include <QPointer>

class QWidget;

class ContextMenuFilter : public QObject
{
    Q_OBJECT
public:
    // Installs itself on the application at once. Without a parent it belongs to the view's
    // window, so it is in force exactly as long as that window exists, visible or not.
    explicit ContextMenuFilter(QWidget *view, QObject *parent = nullptr);
    ~ContextMenuFilter() override;

    QWidget *view() const { return m_view; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_view;
};
