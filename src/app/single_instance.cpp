#include "app/single_instance.h"

#include <QLockFile>

SingleInstance::SingleInstance(const QString &dataDir)
    : m_lock(std::make_unique<QLockFile>(dataDir + QStringLiteral("/tallyrue_qel.lock")))
{
    // A lock is stale only when its process is gone; never age out a live one.
    m_lock->setStaleLockTime(0);
    m_acquired = m_lock->tryLock(0);
    if (!m_acquired && m_lock->error() == QLockFile::LockFailedError) {
        // removeStaleLockFile() succeeds only when the owning process no longer runs.
        if (m_lock->removeStaleLockFile())
            m_acquired = m_lock->tryLock(0);
    }
}

SingleInstance::~SingleInstance()
{
    if (m_acquired)
        m_lock->unlock();
}
