#include "data/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include "data/private_files.h"

namespace DataFolder {

QString path() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

namespace {

// Bytes that are not valid in the file-name encoding shown as \xff, the rest as it reads.
QString shownBytes(const QByteArray &raw)
{
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        const uchar c = uchar(raw[i]);
        const int n = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 0;
        const QByteArray piece = n > 0 ? raw.mid(i, n) : QByteArray();
        const QString text = QFile::decodeName(piece);
        if (n > 0 && piece.size() == n && QFile::encodeName(text) == piece) {
            out += text;
            i += n;
        } else {
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
            ++i;
        }
    }
    return out;
}

} // namespace

QString nameProblem()
{
    // Where the folder's name comes from: a name that does not survive the trip through
    // the file-name encoding would lead to another folder, one without the user's data.
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    const bool fromXdg = !xdg.isEmpty();
    const QByteArray raw = fromXdg ? xdg : qgetenv("HOME");
    if (QFile::encodeName(QFile::decodeName(raw)) == raw)
        return QString();
    const QString shown = shownBytes(raw) + (fromXdg ? QStringLiteral("/") : QStringLiteral("/.local/share/"))
                          + QCoreApplication::applicationName();
    return QStringLiteral("无法使用数据文件夹 %1\n这个文件夹的路径中有无法识别的字符（不是 UTF-8 编码）。"
                          "请把它改成只含有效字符的路径。")
        .arg(shown);
}

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
        if (QDir().mkpath(dir) && QFileInfo(dir).isDir()) {
            PrivateFiles::setMode(dir, PrivateFiles::kFolderMode, true);
            return QString();
        }
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
// letter case, as INI files always have. The lines are kept as the bytes they were, each
// with its own line end, so a write changes the key's line and no other byte (a comment
// in another encoding stays as it was).
struct IniLines {
    QList<QByteArray> lines;   // without their line ends
    QList<QByteArray> ends;    // "\n", "\r\n" or "" (the last line, unended)
    QByteArray bom;
    QByteArray eol = "\n";

    static IniLines read(const QString &path)
    {
        IniLines ini;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return ini;
        QByteArray bytes = f.readAll();
        if (bytes.startsWith("\xef\xbb\xbf")) {
            ini.bom = bytes.left(3);
            bytes.remove(0, 3);
        }
        if (bytes.contains("\r\n"))
            ini.eol = "\r\n";
        qsizetype from = 0;
        while (from < bytes.size()) {
            const qsizetype nl = bytes.indexOf('\n', from);
            QByteArray line = bytes.mid(from, nl < 0 ? -1 : nl - from);
            QByteArray end = nl < 0 ? QByteArray() : QByteArray("\n");
            if (nl >= 0 && line.endsWith('\r')) {
                line.chop(1);
                end = "\r\n";
            }
            ini.lines << line;
            ini.ends << end;
            from = nl < 0 ? bytes.size() : nl + 1;
        }
        return ini;
    }

    QByteArray bytes() const
    {
        QByteArray out = bom;
        for (qsizetype i = 0; i < lines.size(); ++i)
            out += lines[i] + ends[i];
        return out;
    }

    static bool isSection(const QByteArray &line, QString *name)
    {
        const QString t = QString::fromUtf8(line).trimmed();
        if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
            return false;
        *name = t.mid(1, t.size() - 2).trimmed();
        return true;
    }

    static bool isKey(const QByteArray &line, const QString &key, QString *value)
    {
        const QString t = QString::fromUtf8(line).trimmed();
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

    void insert(int at, const QByteArray &line)
    {
        // The line before it gets an end if it had none (a file without a last line end).
        if (at > 0 && ends[at - 1].isEmpty())
            ends[at - 1] = eol;
        lines.insert(at, line);
        ends.insert(at, eol);
    }
};

QByteArray keyLine(const QString &key, const QString &value)
{
    const bool quote = value != value.trimmed() || value.startsWith(QLatin1Char('"'));
    return (key + QLatin1Char('=') + (quote ? QLatin1Char('"') + value + QLatin1Char('"') : value)).toUtf8();
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
        ini.insert(end, keyLine(key, value));
    } else {
        if (!ini.lines.isEmpty() && !ini.lines.last().trimmed().isEmpty())
            ini.insert(int(ini.lines.size()), QByteArray());
        ini.insert(int(ini.lines.size()), (QLatin1Char('[') + section + QLatin1Char(']')).toUtf8());
        ini.insert(int(ini.lines.size()), keyLine(key, value));
    }
    // Written whole under another name and then renamed, so a failed write leaves the old file.
    QSaveFile f(iniPath);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(ini.bytes());
    if (!f.commit())
        return false;
    PrivateFiles::setMode(iniPath, PrivateFiles::kFileMode);
    return true;
}

} // namespace DataFolder
