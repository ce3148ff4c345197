// tallyrue-restore: lists the backup sets of the data folder and puts one of them back.
// It refuses while Tallyrue runs (the single-instance lock is held) and holds that lock
// itself while it restores, so the program cannot start meanwhile.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <exception>
#include "app/single_instance.h"
#include "data/backup.h"
#include "data/data_folder.h"
#include "data/private_files.h"

namespace {

enum Exit { Done = 0, Failed = 1, Running = 2 };

void out(const QString &text) { std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stdout); }
void err(const QString &text) { std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stderr); }

QString sizeText(const QString &setPath)
{
    qint64 bytes = 0;
    for (const QString &name : Backup::fileNames())
        bytes += QFileInfo(setPath + QLatin1Char('/') + name).size();
    return QLocale::c().formattedDataSize(bytes, 1);
}

// Columns line up in a terminal: a CJK character takes two cells.
int cells(const QString &text)
{
    int n = 0;
    for (const QChar c : text)
        n += (c.unicode() >= 0x1100 && (c.unicode() <= 0x115F || (c.unicode() >= 0x2E80 && c.unicode() <= 0xA4CF)
                                        || (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3)
                                        || (c.unicode() >= 0xF900 && c.unicode() <= 0xFAFF)
                                        || (c.unicode() >= 0xFE30 && c.unicode() <= 0xFE4F)
                                        || (c.unicode() >= 0xFF00 && c.unicode() <= 0xFF60)
                                        || (c.unicode() >= 0xFFE0 && c.unicode() <= 0xFFE6)))
                 ? 2
                 : 1;
    return n;
}

QString padded(const QString &text, int width, bool right = false)
{
    const QString blanks(std::max(0, width - cells(text)), QLatin1Char(' '));
    return right ? blanks + text : text + blanks;
}

// What each data file holds, for a message that says which part of a set is damaged.
QString fileRole(const QString &fileName)
{
    if (fileName == QLatin1String("qel_jz_m.dll"))
        return QStringLiteral("账本和收支记录");
    if (fileName == QLatin1String("qel_jz_f.dll"))
        return QStringLiteral("常用摘要和单位名称");
    if (fileName == QLatin1String("qel_jz_u.dll"))
        return QStringLiteral("收支明细和密码设置");
    return QString();
}

// A file of the set that failed its check is named in words, the engine's own text
// following as a detail; any other failure is shown as it came.
QString failureText(const QString &setPath, const QString &error)
{
    static const QRegularExpression damaged(QStringLiteral("^备份文件 (.+) 无法使用：(.*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = damaged.match(error);
    if (!m.hasMatch())
        return QStringLiteral("恢复未完成：%1").arg(error);
    const QString file = QFileInfo(m.captured(1)).fileName();
    const QString role = fileRole(file);
    return QStringLiteral("恢复未完成：备份 %1 中的文件 %2%3已损坏，这份备份不能用来恢复，数据文件没有改动。"
                          "请选用另一份备份。\n详细信息：%4")
        .arg(QFileInfo(setPath).fileName(), file,
             role.isEmpty() ? QString() : QStringLiteral("（%1）").arg(role), m.captured(2));
}

void usage()
{
    out(QStringLiteral("用法：\n"
                       "  tallyrue-restore            列出数据文件夹中的备份（最新的在前）\n"
                       "  tallyrue-restore <备份>     用这份备份替换当前的三个数据文件\n"
                       "<备份> 是列表中的名称，或一份备份的文件夹路径。恢复前请先退出 Tallyrue；\n"
                       "恢复前的数据文件会另存为一份备份（名称以 before-restore 结尾）。"));
}

int list(const QString &dataDir)
{
    const QList<Backup::SetInfo> sets = Backup::completeSets(dataDir);
    if (sets.isEmpty()) {
        out(QStringLiteral("%1 中还没有备份。").arg(QDir::toNativeSeparators(Backup::folder(dataDir))));
        return Done;
    }
    out(QStringLiteral("%1 中的备份：").arg(QDir::toNativeSeparators(Backup::folder(dataDir))));
    QList<QStringList> rows{{QStringLiteral("名称"), QStringLiteral("时间"), QStringLiteral("大小")}};
    for (const Backup::SetInfo &s : sets)
        rows << QStringList{s.name, s.made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), sizeText(s.path)};
    int widths[3] = {0, 0, 0};
    for (const QStringList &row : rows)
        for (int c = 0; c < 3; ++c)
            widths[c] = std::max(widths[c], cells(row[c]));
    for (const QStringList &row : rows)
        out(QStringLiteral("  %1   %2   %3")
                .arg(padded(row[0], widths[0]), padded(row[1], widths[1]), padded(row[2], widths[2], true)));
    out(QStringLiteral("恢复其中一份：tallyrue-restore <名称>"));
    return Done;
}

int restore(const QString &dataDir, const QString &which)
{
    // A name from the list, or the path of a set's folder; "set/" and "set/." name the
    // set itself.
    const QString cleaned = QDir::cleanPath(which);
    QString setPath = Backup::folder(dataDir) + QLatin1Char('/') + cleaned;
    if (!Backup::isSetName(cleaned) || !QFileInfo(setPath).isDir())
        setPath = QDir::cleanPath(QFileInfo(cleaned).absoluteFilePath());
    if (!QFileInfo(setPath).isDir()) {
        err(QStringLiteral("找不到备份 %1。不带参数运行 tallyrue-restore 可列出所有备份。").arg(which));
        return Failed;
    }
    if (QFileInfo(setPath).fileName().startsWith(QLatin1Char('.'))) {
        err(QStringLiteral("%1 是一份没有写完的备份，不能用来恢复。").arg(QDir::toNativeSeparators(setPath)));
        return Failed;
    }

    SingleInstance lock(dataDir);
    if (!lock.acquired()) {
        err(QStringLiteral("Tallyrue 正在运行，不能恢复备份。请先退出 Tallyrue，再运行此命令。"));
        return Running;
    }
    bool tookBack = false;
    const QString halfRestored = Backup::takeBackUnfinishedRestore(dataDir, &tookBack);
    if (!halfRestored.isEmpty()) {
        err(halfRestored);
        return Failed;
    }
    if (tookBack)
        out(QStringLiteral("上次恢复备份时中断了，数据文件已还原为恢复之前的样子。"));
    out(QStringLiteral("正在检查并恢复备份 %1 …").arg(QDir::toNativeSeparators(setPath)));
    const Backup::RestoreResult r = Backup::restore(dataDir, setPath);
    if (!r.ok) {
        err(failureText(setPath, r.error));
        return Failed;
    }
    PrivateFiles::tighten(dataDir);
    out(QStringLiteral("已恢复备份 %1。").arg(QFileInfo(setPath).fileName()));
    if (!r.keptSet.isEmpty())
        out(QStringLiteral("恢复前的数据文件已另存为备份 %1。").arg(QFileInfo(r.keptSet).fileName()));
    return Done;
}

} // namespace

int main(int argc, char **argv)
{
    // The kept set and the restored files are private to the user, whatever the umask.
    PrivateFiles::restrictUmask();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tallyrue"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args == QStringList{QStringLiteral("--version")}) {
        out(QStringLiteral("tallyrue-restore " TALLYRUE_VERSION));   // the build's project version
        return Done;
    }
    if (args.size() > 1 || (!args.isEmpty() && (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help")))) {
        usage();
        return args.size() > 1 ? Failed : Done;
    }
    try {
        const QString problem = DataFolder::nameProblem();
        if (!problem.isEmpty()) {
            err(problem);
            return Failed;
        }
        const QString dataDir = DataFolder::path();
        return args.isEmpty() ? list(dataDir) : restore(dataDir, args[0]);
    } catch (const std::exception &e) {
        err(QString::fromUtf8(e.what()));
        return Failed;
    }
}
