#include "help/web_window.h"

#include <QShowEvent>
#include "app/context_menu_filter.h"
#include "app/online_check.h"
#include "app/web_view.h"
#include "ui/centre_on_screen.h"
#include "ui/guard.h"

WebWindow::WebWindow(const QString &name, const QString &caption, const QSize &client, int overhang,
                     const QString &address, QWidget *parent)
    : QDialog(parent), m_address(address)
{
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(client);

    m_view = new WebView(this);
    m_view->setObjectName(QStringLiteral("WebBrowser1"));
    // The filter belongs to this window: in force as long as it exists, shown or not.
    m_filter = new ContextMenuFilter(m_view, this);
    m_filter->setObjectName(QStringLiteral("ApplicationEvents1"));

    ui::guard(this, [&] { FormCreate(client, overhang); });
}

QString WebWindow::offlinePage()
{
    return QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; "
                          "padding:20px 0 0 0; text-align:center; background-color:#E3EEFD;\">"
                          "读取盒子内容失败，网络已断开</body>");
}

QString WebWindow::failedPage()
{
    return QStringLiteral("about:<body scroll=\"no\" style=\"font-size:12px; color:#999; "
                          "padding:20px 0 0 0; text-align:center; background-color:#E3EEFD;\">"
                          "读取盒子内容失败，请稍后再试</body>");
}

void WebWindow::FormCreate(const QSize &client, int overhang)
{
    m_view->setFailurePage(failedPage());
    // Asked once: a window loaded offline keeps its notice for the whole run.
    m_view->navigate(OnlineCheck::isOnline() ? m_address : offlinePage());
    // The view's own border lies outside the client area.
    m_view->setGeometry(-2, -2, client.width() + overhang, client.height() + overhang);
}

void WebWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ui::centreOnScreen(this);
}

Thezi::Thezi(QWidget *parent)
    : WebWindow(QStringLiteral("Thezi"), QStringLiteral("Varnel客服"), QSize(736, 426), 3,
                serviceAddress(), parent)
{
}

QString Thezi::serviceAddress() { return QStringLiteral("https://tallyrue.example/service/"); }

Tqoravi::Tqoravi(QWidget *parent)
    : WebWindow(QStringLiteral("Tqoravi"),
                QStringLiteral("Qoravi办公超市 - 办公用品优之选，只展示给您最好的！"), QSize(735, 425), 4,
                sponsorAddress(), parent)
{
}

QString Tqoravi::sponsorAddress() { return QStringLiteral("https://tallyrue.example/sponsor/"); }
