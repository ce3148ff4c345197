#include "data/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace DataFolder {

QString path() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

QString prepare(const QString &dir)
{
    const QString shown = QDir::toNativeSeparators(dir);
    const auto refusal = [&shown](const QString &why) {
        return QStringLiteral("无法使用数据文件夹 %1\n%2").arg(shown, why);
    };
    if (dir.isEmpty())
        return QStringLiteral("无法确定数据文件夹的位置。");
    const QFileInfo fi(dir);
    if (fi.exists() && !fi.isDir())
        return refusal(QStringLiteral("这个位置是一个文件，不是文件夹。"));
    if (!fi.exists()) {
        if (QDir().mkpath(dir) && QFileInfo(dir).isDir())
            return QString();
        // Say which part of the path is in the way.
        QString up = QFileInfo(dir).absolutePath();
        while (!QFileInfo::exists(up) && QFileInfo(up).absolutePath() != up)
            up = QFileInfo(up).absolutePath();
        const QFileInfo blocker(up);
        const QString where = QDir::toNativeSeparators(up);
        if (!blocker.isDir())
            return refusal(QStringLiteral("无法创建这个文件夹：%1 是一个文件，不是文件夹。").arg(where));
        return refusal(QStringLiteral("无法创建这个文件夹：文件夹 %1 不可写入。").arg(where));
    }
    if (!fi.isReadable() || !fi.isExecutable())
        return refusal(QStringLiteral("这个文件夹不可读取。"));
    return QString();
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
