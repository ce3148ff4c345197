#pragma once
#include <QString>
#include <memory>

class QLockFile;

// One running copy per installation: a lock file in the data folder, held until the
// program ends. A lock left by a crashed run is taken over.
class SingleInstance
{
public:
    enum class State {
        Acquired,     // this copy runs
        HeldByOther,  // a live copy holds the lock: end silently
        Failed,       // the lock cannot be taken (see error())
    };

    explicit SingleInstance(const QString &dataDir);
    ~SingleInstance();

    State state() const { return m_state; }
    bool acquired() const { return m_state == State::Acquired; }
    // For Failed: the message for the user, naming the lock file and its folder.
    QString error() const { return m_error; }

    static QString lockFileName() { return QStringLiteral("tallyrue_qel.lock"); }

private:
    bool heldByLiveCopy() const;
    std::unique_ptr<QLockFile> m_lock;
    State m_state = State::Failed;
    QString m_error;
};
