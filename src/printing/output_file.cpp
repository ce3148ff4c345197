#include "printing/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "data/private_files.h"

namespace report {

OutputFile::OutputFile(const QString &target) : m_target(target) {}

OutputFile::~OutputFile()
{
    if (!m_part.isEmpty() && !m_committed)
        ::unlink(QFile::encodeName(m_part).constData());
}

QString OutputFile::failure(const QString &file, const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("无法写入文件 \"%1\"。").arg(QDir::toNativeSeparators(file))
                            : QStringLiteral("无法写入文件 \"%1\": %2").arg(QDir::toNativeSeparators(file), reason);
}

QString OutputFile::reason(int error)
{
    switch (error) {
    case ENOENT: return QStringLiteral("文件夹不存在");
    case ENOTDIR: return QStringLiteral("路径中有一项不是文件夹");
    case EISDIR: return QStringLiteral("已有同名的文件夹");
    case EACCES:
    case EPERM: return QStringLiteral("没有写入权限");
    case EROFS: return QStringLiteral("磁盘是只读的");
    case ENOSPC: return QStringLiteral("磁盘空间不足");
    case EDQUOT: return QStringLiteral("超出磁盘配额");
    case EFBIG: return QStringLiteral("文件超出允许的大小");
    case ENAMETOOLONG: return QStringLiteral("文件名太长");
    case EIO: return QStringLiteral("读写磁盘出错");
    default: break;
    }
    return QString::fromLocal8Bit(std::strerror(error));
}

bool OutputFile::create(QString *message)
{
    const QFileInfo target(m_target);
    QByteArray name = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                                        + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        *message = failure(m_target, reason(errno));
        return false;
    }
    ::close(fd);
    m_part = QFile::decodeName(name);
    return true;
}

bool OutputFile::commit(QString *message)
{
    if (m_part.isEmpty()) {
        *message = failure(m_target, QString());
        return false;
    }
    const QByteArray part = QFile::encodeName(m_part);
    // On the disk before it takes the target's place: a crash right after the move must
    // not leave an empty file under the user's name.
    const int fd = ::open(part.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        *message = failure(m_target, reason(err));
        return false;
    }
    ::close(fd);
    // A file it replaces keeps its mode; a new one gets what the user's own umask gives a
    // new file (the program's umask is stricter, for its data). Set before the move, so
    // the file never shows under the user's name with other rights.
    struct stat st {};
    const mode_t mode = ::stat(QFile::encodeName(m_target).constData(), &st) == 0 && S_ISREG(st.st_mode)
        ? st.st_mode & 07777
        : 0666 & ~PrivateFiles::userUmask();
    ::chmod(part.constData(), mode);
    if (std::rename(part.constData(), QFile::encodeName(m_target).constData()) != 0) {
        *message = failure(m_target, reason(errno));
        return false;
    }
    m_committed = true;
    return true;
}

} // namespace report
