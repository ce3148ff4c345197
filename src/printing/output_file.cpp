#include "printing/output_file.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace report {

OutputFile::OutputFile(const QString &target) : m_target(target) {}

OutputFile::~OutputFile() = default;

QString OutputFile::failure(const QString &file, const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("无法写入文件 \"%1\"。").arg(QDir::toNativeSeparators(file))
                            : QStringLiteral("无法写入文件 \"%1\": %2").arg(QDir::toNativeSeparators(file), reason);
}

bool OutputFile::create(QString *message)
{
    const QFileInfo target(m_target);
    m_part = std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                                              + QStringLiteral(".XXXXXX"));
    if (!m_part->open()) {
        *message = failure(m_target, m_part->errorString());
        m_part.reset();
        return false;
    }
    m_part->close();
    return true;
}

QString OutputFile::partPath() const { return m_part ? m_part->fileName() : QString(); }

bool OutputFile::commit(QString *message)
{
    if (!m_part) {
        *message = failure(m_target, QString());
        return false;
    }
    const QByteArray part = QFile::encodeName(m_part->fileName());
    // On the disk before it takes the target's place: a crash right after the move must
    // not leave an empty file under the user's name.
    const int fd = ::open(part.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        *message = failure(m_target, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    ::close(fd);
    const QFileInfo target(m_target);
    const QFile::Permissions keep = target.exists()
        ? target.permissions()
        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (std::rename(part.constData(), QFile::encodeName(m_target).constData()) != 0) {
        *message = failure(m_target, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_part->setAutoRemove(false);
    QFile::setPermissions(m_target, keep);
    return true;
}

} // namespace report
