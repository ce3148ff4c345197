#include "app/online_check.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace OnlineCheck {
namespace {
std::function<bool()> &overrideCheck()
{
    static std::function<bool()> check;
    return check;
}

QNetworkInformation *reachabilityBackend()
{
    // Loading is cheap after the first time: the instance stays for the whole run.
    if (QNetworkInformation *info = QNetworkInformation::instance()) {
        if (info->supports(QNetworkInformation::Feature::Reachability))
            return info;
    }
    if (QNetworkInformation::loadDefaultBackend()) {
        QNetworkInformation *info = QNetworkInformation::instance();
        if (info && info->supports(QNetworkInformation::Feature::Reachability))
            return info;
    }
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return QNetworkInformation::instance();
    return nullptr;
}

bool someInterfaceRunning()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const auto flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning))
            return true;
    }
    return false;
}
} // namespace

bool isOnline()
{
    if (const auto &check = overrideCheck())
        return check();
    if (QNetworkInformation *info = reachabilityBackend()) {
        switch (info->reachability()) {
        case QNetworkInformation::Reachability::Online:
            return true;
        case QNetworkInformation::Reachability::Disconnected:
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
            return false;
        case QNetworkInformation::Reachability::Unknown:
            break; // a backend without a service behind it (no D-Bus, say) knows nothing
        }
    }
    return someInterfaceRunning();
}

void setOverride(std::function<bool()> check)
{
    overrideCheck() = std::move(check);
}

} // namespace OnlineCheck
