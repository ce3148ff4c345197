#include "data/data_folder.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace DataFolder {

QString path()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return dir;
}

QString file(const QString &name) { return path() + QLatin1Char('/') + name; }

QString iniValue(const QString &iniPath, const QString &section, const QString &key)
{
    if (!QFile::exists(iniPath))
        return QString();
    QSettings ini(iniPath, QSettings::IniFormat);
    return ini.value(section + QLatin1Char('/') + key).toString();
}

void setIniValue(const QString &iniPath, const QString &section, const QString &key,
                 const QString &value)
{
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.setValue(section + QLatin1Char('/') + key, value);
    ini.sync();
}

} // namespace DataFolder
