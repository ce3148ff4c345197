#pragma once
// Backup sets of the three database files, in backup/ of the data folder.
//
// A set is a folder named "<yyyyMMdd>-<HHmmss>-<reason>" holding the three files. It is
// written under a name that can never pass for a set (".partial-..."), and renamed only
// once all three files are on disk, so a set that carries a set's name is whole. The ten
// newest sets are kept.
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TDataModule2;
class QThread;
class QTimer;
struct sqlite3;
struct sqlite3_backup;

namespace Backup {

constexpr int kKeptSets = 10;

// <dataDir>/backup
QString folder(const QString &dataDir);

// The three file names, in the order a set is written.
QStringList fileNames();

struct SetInfo {
    QString name;
    QString path;
    QDateTime made;
    QString reason;
};

// Whether a folder name is a set's name (a folder being written never has one).
bool isSetName(const QString &name);

// What a set was made for, as pruning counts it: the newest kKeptSets of each kind are
// kept ("start", "delete-book", "before-restore", or the reason itself).
QString kindOf(const QString &reason);

// The complete sets, newest first.
QList<SetInfo> completeSets(const QString &dataDir);

// Opens every file of a set with its password and runs the engine's integrity check.
// Empty when the set can be restored, else the reason naming the file.
QString checkSet(const QString &setPath);

struct RestoreResult {
    bool ok = false;
    QString error;
    QString keptSet;   // the set that holds the files as they were before the restore
};

// Puts the files of a set in place of the data folder's. The files as they were are kept
// first as a set of their own ("before-restore"). Nothing is changed when the set does
// not check out or cannot be copied. The caller must hold the single-instance lock: the
// program must not have the files open.
RestoreResult restore(const QString &dataDir, const QString &setPath);

// The file in the data folder that says a restore is under way; it names the files that
// were there before, moved aside under ".old" until the restore is complete.
QString restoreMarkerName();

// A restore cut off between its renames (a failure, a crash) is taken back, so the three
// files are again those from before it. Run before anything opens the files, holding the
// single-instance lock. Empty when nothing was to be done or it was taken back
// (*tookBack tells which); else why the files could not be put back.
QString takeBackUnfinishedRestore(const QString &dataDir, bool *tookBack = nullptr);

// Tests only: the restore's n-th rename (counted from 1) fails; with crash, the restore
// then stops where it is, as if the process had died. 0 switches it off.
void failRestoreRenameForTests(int n, bool crash = false);

} // namespace Backup

// Writes backup sets of the files of one data module through the engine's backup
// interface, a slice at a time from the event loop, so the windows stay responsive; a
// change saved meanwhile is carried into the set (the engine copies that file again).
class BackupKeeper : public QObject
{
    Q_OBJECT
public:
    struct Result {
        bool ok = false;
        QString reason;
        QString set;     // the set's folder, when ok
        QString error;   // why not, when not ok
    };

    // The one keeper of a data module, made on first use; it lives as long as the module.
    static BackupKeeper *of(TDataModule2 *dm);
    ~BackupKeeper() override;

    // The start-of-day set, begun in the background after delayMs, unless a complete set
    // dated today exists or a set is being written. True when one was scheduled.
    bool startDaily(int delayMs);

    // A set made now, for example before a book is deleted: returns once it is complete
    // or has failed. Meanwhile timers and painting go on (progress() reports), user
    // input waits. A background set still being written is dropped for it.
    Result makeNow(const QString &reason);

    bool busy() const;
    // The daily reason and the reason of a set made before deleting a book.
    static QString dailyReason();
    static QString deletionReason(const QString &bookKey);

Q_SIGNALS:
    void progress(int permille);
    // Every set that was begun ends with this, except a background one dropped for a
    // set made now.
    void finished(const BackupKeeper::Result &result);

private:
    explicit BackupKeeper(TDataModule2 *dm);
    struct Job;

    void begin(const QString &reason, int sliceMs);
    void copiesPrepared();
    void runOnWorker(std::function<void()> work, void (BackupKeeper::*then)());
    void endWorker();
    void slice();
    bool openFile();
    bool closeFile();
    void flushAndName();
    void named();
    void fail(QString error);   // by value: the text may live in the job it ends
    void drop();
    void scheduleSlice(int delayMs);

    QPointer<TDataModule2> m_dm;
    std::unique_ptr<Job> m_job;
    QTimer *m_dailyTimer = nullptr;
    QTimer *m_sliceTimer = nullptr;
    QThread *m_worker = nullptr;   // opens the copies, then puts them on disk
    quint64 m_workerRun = 0;       // which worker's end is awaited
};

Q_DECLARE_METATYPE(BackupKeeper::Result)
