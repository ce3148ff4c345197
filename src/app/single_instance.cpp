#include "app/single_instance.h"

#include <QDir>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>
#include <cerrno>
#include <csignal>

SingleInstance::SingleInstance(const QString &dataDir)
    : m_lock(std::make_unique<QLockFile>(dataDir + QLatin1Char('/') + lockFileName()))
{
    // A lock is stale only when its process is gone; never age out a live one.
    m_lock->setStaleLockTime(0);
    bool locked = m_lock->tryLock(0);
    if (!locked && m_lock->error() == QLockFile::LockFailedError) {
        // removeStaleLockFile() succeeds only when the owning process no longer runs.
        if (m_lock->removeStaleLockFile())
            locked = m_lock->tryLock(0);
    }
    if (locked) {
        m_state = State::Acquired;
        return;
    }
    // A copy that has just created the lock may not have written its name into it yet.
    const bool busy = m_lock->error() == QLockFile::LockFailedError;
    for (int i = 0; busy && i < 5; ++i) {
        if (heldByLiveCopy()) {
            m_state = State::HeldByOther;
            return;
        }
        QThread::msleep(100);
    }
    const QString folder = QDir::toNativeSeparators(dataDir);
    const QString lock = QDir::toNativeSeparators(m_lock->fileName());
    QString why;
    if (m_lock->error() == QLockFile::PermissionError)
        why = QStringLiteral("这个文件夹不可写入，无法在其中创建锁文件 %1。").arg(lock);
    else if (busy)
        why = QStringLiteral("锁文件 %1 无法使用：它不属于正在运行的本程序，也无法删除。").arg(lock);
    else
        why = QStringLiteral("无法创建锁文件 %1。").arg(lock);
    m_error = QStringLiteral("无法使用数据文件夹 %1\n%2").arg(folder, why);
}

bool SingleInstance::heldByLiveCopy() const
{
    qint64 pid = 0;
    QString host, app;
    if (!m_lock->getLockInfo(&pid, &host, &app) || pid <= 0)
        return false;
    // A copy on another machine sharing this folder cannot be asked; take it as running.
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

SingleInstance::~SingleInstance()
{
    if (m_state == State::Acquired)
        m_lock->unlock();
}
