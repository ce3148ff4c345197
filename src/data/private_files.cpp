#include "data/private_files.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <sys/stat.h>
#include <unistd.h>
#include "data/backup.h"

namespace PrivateFiles {
namespace {

mode_t &savedUmask()
{
    static mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Tightens one entry the process owns to its owner's rights alone.
void tightenEntry(const QString &path, bool followLink)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((followLink ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return;
    if (!(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) || st.st_uid != ::geteuid())
        return;
    if (st.st_mode & 077)
        ::chmod(name.constData(), st.st_mode & 07700);
}

bool isRealFolder(const QString &path, bool followLink)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    return (followLink ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

void restrictUmask()
{
    const mode_t user = ::umask(077);
    savedUmask() = user;
    ::umask(user | 077);
}

mode_t userUmask() { return savedUmask(); }

void setMode(const QString &path, mode_t mode, bool followLink)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((followLink ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return;
    if (!(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & 07777) != mode)
        ::chmod(name.constData(), mode);
}

void tighten(const QString &dataDir)
{
    tightenEntry(dataDir, true);
    QStringList own{QStringLiteral("iset.ini"), QStringLiteral("check.ini"), QStringLiteral("tallyrue_qel.lock")};
    for (const QString &f : Backup::fileNames())
        for (const char *suffix : {"", "-journal", ".new", ".new-journal", ".restore", ".old", ".old-journal"})
            own << f + QLatin1String(suffix);
    own << Backup::restoreMarkerName();
    for (const QString &name : own)
        tightenEntry(dataDir + QLatin1Char('/') + name, false);

    // backup/ may be a link to a folder on another disk; the sets in it are never links.
    const QString backups = Backup::folder(dataDir);
    if (!isRealFolder(backups, true))
        return;
    tightenEntry(backups, true);
    const QDir dir(backups);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (!Backup::isSetName(name) && !name.startsWith(QLatin1String(".partial-")))
            continue;
        const QString set = dir.filePath(name);
        if (!isRealFolder(set, false))
            continue;
        tightenEntry(set, false);
        for (const QString &f : Backup::fileNames())
            for (const char *suffix : {"", "-journal"})
                tightenEntry(set + QLatin1Char('/') + f + QLatin1String(suffix), false);
    }
}

} // namespace PrivateFiles
