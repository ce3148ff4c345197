#include "app/browser.h"

#include <QDesktopServices>
#include <QUrl>

namespace Browser {
namespace {
std::function<void(const QString &)> &overrideHandler()
{
    static std::function<void(const QString &)> handler;
    return handler;
}
} // namespace

void open(QWidget *owner, const QString &url)
{
    Q_UNUSED(owner); // the desktop's browser is its own window; nothing here depends on the owner
    if (const auto &handler = overrideHandler()) {
        handler(url);
        return;
    }
    // The result is deliberately ignored: no message when no browser can be started.
    QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

void setOverride(std::function<void(const QString &)> handler)
{
    overrideHandler() = std::move(handler);
}

} // namespace Browser
