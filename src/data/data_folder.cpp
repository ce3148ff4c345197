#include "data/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
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

namespace {

// An INI file as its lines, read afresh each time; sections and keys match without regard to
// letter case, as INI files always have.
struct IniLines {
    QStringList lines;
    QString eol = QStringLiteral("\n");

    static IniLines read(const QString &path)
    {
        IniLines ini;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return ini;
        QString text = QString::fromUtf8(f.readAll());
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        if (text.contains(QLatin1String("\r\n")))
            ini.eol = QStringLiteral("\r\n");
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        ini.lines = text.split(QLatin1Char('\n'));
        if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
            ini.lines.removeLast();
        return ini;
    }

    static bool isSection(const QString &line, QString *name)
    {
        const QString t = line.trimmed();
        if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
            return false;
        *name = t.mid(1, t.size() - 2).trimmed();
        return true;
    }

    static bool isKey(const QString &line, const QString &key, QString *value)
    {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            return false;
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (eq <= 0 || t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            return false;
        QString v = t.mid(eq + 1).trimmed();
        // Quotes keep blanks at either end.
        if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
            v = v.mid(1, v.size() - 2);
        *value = v;
        return true;
    }

    // The line of the key in the section, or -1; *sectionEnd: where a new key would go
    // (-1 when the section is missing).
    int find(const QString &section, const QString &key, QString *value, int *sectionEnd) const
    {
        bool inSection = false;
        *sectionEnd = -1;
        for (int i = 0; i < lines.size(); ++i) {
            QString name;
            if (isSection(lines[i], &name)) {
                inSection = name.compare(section, Qt::CaseInsensitive) == 0;
                if (inSection)
                    *sectionEnd = i + 1;
                continue;
            }
            if (!inSection)
                continue;
            if (isKey(lines[i], key, value))
                return i;
            if (!lines[i].trimmed().isEmpty())
                *sectionEnd = i + 1;
        }
        return -1;
    }
};

QString keyLine(const QString &key, const QString &value)
{
    const bool quote = value != value.trimmed() || value.startsWith(QLatin1Char('"'));
    return key + QLatin1Char('=') + (quote ? QLatin1Char('"') + value + QLatin1Char('"') : value);
}

} // namespace

QString iniValue(const QString &iniPath, const QString &section, const QString &key)
{
    const IniLines ini = IniLines::read(iniPath);
    QString value;
    int end = -1;
    return ini.find(section, key, &value, &end) >= 0 ? value : QString();
}

bool setIniValue(const QString &iniPath, const QString &section, const QString &key,
                 const QString &value)
{
    IniLines ini = IniLines::read(iniPath);
    QString old;
    int end = -1;
    const int at = ini.find(section, key, &old, &end);
    // Only the key's own line changes; comments and other keys stay as they were.
    if (at >= 0) {
        ini.lines[at] = keyLine(key, value);
    } else if (end >= 0) {
        ini.lines.insert(end, keyLine(key, value));
    } else {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.lines << QString();
        ini.lines << QLatin1Char('[') + section + QLatin1Char(']') << keyLine(key, value);
    }
    // Written whole under another name and then renamed, so a failed write leaves the old file.
    QSaveFile f(iniPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write((ini.lines.join(ini.eol) + ini.eol).toUtf8());
    return f.commit();
}

} // namespace DataFolder
