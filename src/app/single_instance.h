#pragma once
#include <QString>
#include <memory>

class QLockFile;

// One running copy per installation: a lock file in the data folder, held until the
// program ends. A lock left by a crashed run is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &dataDir);
    ~SingleInstance();

    // False when another copy holds the lock.
    bool acquired() const { return m_acquired; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_acquired = false;
};
