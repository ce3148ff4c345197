#include "data/backup.h"

#include <sqlcipher/sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include "data/clock.h"
#include "data/data_module.h"
#include "data/private_files.h"
#include "data/schema.h"

namespace {

const QString kPartialPrefix = QStringLiteral(".partial-");
const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// Pages per engine step (a page is 1 KiB): small enough that a slice ends on time.
constexpr int kPagesPerStep = 64;
// A background slice leaves the event loop this often; a set made now may take longer
// slices, since user input waits for it anyway.
constexpr int kBackgroundSliceMs = 8;
constexpr int kForegroundSliceMs = 40;
// Another process holding a file: try again a little later, and give up after a while.
constexpr int kBusyRetryMs = 50;
constexpr int kBusyLimitMs = 30000;


QString native(const QString &path) { return QDir::toNativeSeparators(path); }

QString engineText(sqlite3 *db, int rc)
{
    const char *text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return QString::fromUtf8(text ? text : "unknown error");
}

bool syncPath(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Replaces target by source in one step, as the file system allows.
bool renameOver(const QString &source, const QString &target)
{
    return ::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0;
}

QString sanitizedReason(const QString &reason)
{
    QString out;
    for (const QChar c : reason)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') ? c : QLatin1Char('-');
    return out.isEmpty() ? QStringLiteral("set") : out;
}

const QRegularExpression &setNameRx()
{
    static const QRegularExpression rx(QStringLiteral(R"(^(\d{8}-\d{6})-([A-Za-z0-9-]+)$)"));
    return rx;
}

// A folder name for a new set, unused so far, made of the real time: a set dated in the
// future (made while the clock was wrong) must not drag every later name after it. Two
// sets in one second differ by a suffix.
QString newSetName(const QString &backupDir, const QString &reason)
{
    const QString base = Clock::now().toString(kStampFormat) + QLatin1Char('-') + sanitizedReason(reason);
    QString name = base;
    for (int n = 2; QFileInfo::exists(backupDir + QLatin1Char('/') + name)
                    || QFileInfo::exists(backupDir + QLatin1Char('/') + kPartialPrefix + name);
         ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

// Removes what a set folder holds of its own (the three files and their journals), then the
// folder if that left it empty. A link is never followed: one named like a set is left
// alone, and a file the user put into a set stays with its folder.
void removeSetFolder(const QString &path)
{
    const QByteArray dir = QFile::encodeName(path);
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    for (const QString &name : Backup::fileNames())
        for (const char *suffix : {"", "-journal"})
            ::unlinkat(fd, QFile::encodeName(name + QLatin1String(suffix)).constData(), 0);
    ::close(fd);
    ::rmdir(dir.constData());
}

// Folders of sets that were being written when a run ended; only one program writes
// here (the single-instance lock), so none of them is still in progress.
void removePartials(const QString &backupDir)
{
    const QDir dir(backupDir);
    for (const QString &name : dir.entryList({kPartialPrefix + QLatin1Char('*')},
                                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        removeSetFolder(dir.filePath(name));
}

// The newest sets of each kind are kept. A set dated in the future neither counts nor
// goes: it must never push out the real ones.
void prune(const QString &dataDir)
{
    const QDateTime now = Clock::now().addSecs(60);
    QHash<QString, int> kept;
    for (const Backup::SetInfo &s : Backup::completeSets(dataDir)) {
        if (s.made > now)
            continue;
        if (++kept[Backup::kindOf(s.reason)] > Backup::kKeptSets)
            removeSetFolder(s.path);
    }
}

// backup/ (or the folder it links to) made if need be, private to the user.
bool makeBackupFolder(const QString &backupDir)
{
    if (!QDir().mkpath(backupDir) || !QFileInfo(backupDir).isDir())
        return false;
    PrivateFiles::setMode(backupDir, PrivateFiles::kFolderMode, true);
    return true;
}

bool makePrivateFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), PrivateFiles::kFolderMode) != 0)
        return false;
    PrivateFiles::setMode(path, PrivateFiles::kFolderMode);
    return true;
}

// A byte copy that is private from its first byte on (QFile::copy would give it the
// source's mode) and on the disk when this returns. Never replaces an existing file.
bool copyPrivate(const QString &source, const QString &target)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           PrivateFiles::kFileMode);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = ::fchmod(out, PrivateFiles::kFileMode) == 0;
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok)
        ::unlink(QFile::encodeName(target).constData());
    return ok;
}

// One file copied through the engine, as the daily sets are made: a journal a crash left
// beside it is rolled back into the file first (the engine does that on the first read),
// so the copy opens as any other. Empty when done, else the engine's reason.
QString engineCopy(const QString &source, const QString &target, const QByteArray &key)
{
    sqlite3 *src = nullptr, *dst = nullptr;
    QString why;
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &src, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_key(src, key.constData(), int(key.size()));
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(src, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        why = engineText(src, rc);
    if (why.isEmpty()) {
        rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &dst,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_key(dst, key.constData(), int(key.size()));
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(dst, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                                   "CREATE TABLE backup_probe (x); DROP TABLE backup_probe",
                              nullptr, nullptr, nullptr);
        PrivateFiles::setMode(target, PrivateFiles::kFileMode);
        if (rc == SQLITE_OK) {
            sqlite3_backup *b = sqlite3_backup_init(dst, "main", src, "main");
            if (!b) {
                rc = sqlite3_errcode(dst);
            } else {
                sqlite3_backup_step(b, -1);
                rc = sqlite3_backup_finish(b);
            }
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(dst, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            why = engineText(dst, rc);
    }
    sqlite3_close(dst);
    sqlite3_close(src);
    return why;
}

// The files of the data folder as they are, kept as a set of their own before a restore.
// A file the engine cannot read (damaged) is kept byte for byte with its journal, so
// nothing of it is lost either. Returns the set's folder, or empty with *error set.
QString keepCurrentFiles(const QString &dataDir, const QString &reason, QString *error)
{
    const QString backupDir = Backup::folder(dataDir);
    if (!makeBackupFolder(backupDir)) {
        *error = QStringLiteral("无法创建备份文件夹 %1").arg(native(backupDir));
        return QString();
    }
    const QString name = newSetName(backupDir, reason);
    const QString partial = backupDir + QLatin1Char('/') + kPartialPrefix + name;
    if (!makePrivateFolder(partial)) {
        *error = QStringLiteral("无法创建备份文件夹 %1").arg(native(partial));
        return QString();
    }
    for (const Schema::DataFile &file : Schema::all()) {
        const QString source = dataDir + QLatin1Char('/') + file.fileName;
        if (!QFileInfo(source).isFile())
            continue;
        const QString target = partial + QLatin1Char('/') + file.fileName;
        bool ok = engineCopy(source, target, file.password).isEmpty() && syncPath(target);
        if (!ok) {
            for (const char *suffix : {"", "-journal"})
                ::unlink(QFile::encodeName(target + QLatin1String(suffix)).constData());
            const QString journal = source + QStringLiteral("-journal");
            ok = copyPrivate(source, target)
                 && (!QFileInfo(journal).isFile() || copyPrivate(journal, target + QStringLiteral("-journal")));
        }
        if (!ok) {
            *error = QStringLiteral("无法复制 %1 到 %2").arg(native(source), native(partial));
            removeSetFolder(partial);
            return QString();
        }
    }
    const QString finalPath = backupDir + QLatin1Char('/') + name;
    if (!syncPath(partial) || !renameOver(partial, finalPath)) {
        *error = QStringLiteral("无法完成备份 %1").arg(native(finalPath));
        removeSetFolder(partial);
        return QString();
    }
    syncPath(backupDir);
    return finalPath;
}

bool hasSetOfToday(const QString &dataDir)
{
    const QDate today = Clock::today();
    const QList<Backup::SetInfo> sets = Backup::completeSets(dataDir);
    return std::any_of(sets.begin(), sets.end(), [&](const Backup::SetInfo &s) { return s.made.date() == today; });
}

} // namespace

namespace Backup {

QString folder(const QString &dataDir) { return dataDir + QStringLiteral("/backup"); }

QStringList fileNames()
{
    QStringList names;
    for (const Schema::DataFile &s : Schema::all())
        names << s.fileName;
    return names;
}

bool isSetName(const QString &name) { return setNameRx().match(name).hasMatch(); }

QString kindOf(const QString &reason)
{
    for (const char *kind : {"start", "delete-book", "before-restore"})
        if (reason == QLatin1String(kind) || reason.startsWith(QLatin1String(kind) + QLatin1Char('-')))
            return QLatin1String(kind);
    return reason;
}

QList<SetInfo> completeSets(const QString &dataDir)
{
    QList<SetInfo> sets;
    const QDir dir(folder(dataDir));
    const QStringList files = fileNames();
    // A link named like a set is not one of ours.
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const QRegularExpressionMatch m = setNameRx().match(name);
        if (!m.hasMatch())
            continue;
        const QString path = dir.filePath(name);
        if (!std::all_of(files.begin(), files.end(),
                         [&](const QString &f) { return QFileInfo(path + QLatin1Char('/') + f).isFile(); }))
            continue;
        const QDateTime made = QDateTime::fromString(m.captured(1), kStampFormat);
        if (!made.isValid())
            continue;
        sets.append({name, path, made, m.captured(2)});
    }
    // Sets of one second (a set of another kind made right after) are told apart by when
    // their ledger copy was written, to the nanosecond the file system keeps.
    QHash<QString, QDateTime> written;
    for (const SetInfo &s : std::as_const(sets))
        written.insert(s.name, QFileInfo(s.path + QLatin1Char('/') + files.first()).lastModified());
    std::sort(sets.begin(), sets.end(), [&written](const SetInfo &a, const SetInfo &b) {
        if (a.made != b.made)
            return a.made > b.made;
        const QDateTime wa = written.value(a.name), wb = written.value(b.name);
        return wa != wb ? wa > wb : a.name > b.name;
    });
    return sets;
}

QString checkSet(const QString &setPath)
{
    for (const Schema::DataFile &file : Schema::all()) {
        const QString path = setPath + QLatin1Char('/') + file.fileName;
        if (!QFileInfo(path).isFile())
            return QStringLiteral("备份 %1 中缺少文件 %2").arg(native(setPath), file.fileName);
        sqlite3 *db = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        QString problem;
        if (rc == SQLITE_OK)
            rc = sqlite3_key(db, file.password.constData(), int(file.password.size()));
        QStringList checks{QStringLiteral("SELECT count(*) FROM sqlite_master")};
        for (const QString &table : file.tables)
            checks << QStringLiteral("SELECT 1 FROM \"%1\" LIMIT 0").arg(table);
        for (const QString &sql : checks) {
            if (rc != SQLITE_OK)
                break;
            rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
        if (rc != SQLITE_OK) {
            problem = engineText(db, rc);
        } else {
            sqlite3_stmt *st = nullptr;
            rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
            if (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
                const QString first = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
                if (first != QLatin1String("ok"))
                    problem = first;
            } else {
                problem = engineText(db, rc);
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        if (!problem.isEmpty())
            return QStringLiteral("备份文件 %1 无法使用：%2").arg(native(path), problem);
    }
    return QString();
}

namespace {

// The seam through which tests make a restore's rename fail.
int g_failRenameAt = 0;
bool g_crashAtFailure = false;

struct Crashed {};

struct RestoreNames {
    QString target, journal, old, oldJournal, temp;
    RestoreNames(const QString &dataDir, const QString &name)
        : target(dataDir + QLatin1Char('/') + name), journal(target + QStringLiteral("-journal")),
          old(target + QStringLiteral(".old")), oldJournal(target + QStringLiteral(".old-journal")),
          temp(target + QStringLiteral(".restore"))
    {
    }
};

bool present(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

void unlinkPath(const QString &path) { ::unlink(QFile::encodeName(path).constData()); }

// The marker: one line per file that was there before the restore began.
bool writeMarker(const QString &path, const QStringList &existed)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                          PrivateFiles::kFileMode);
    if (fd < 0)
        return false;
    const QByteArray text = (QStringLiteral("restore under way; files there before:\n") + existed.join(QLatin1Char('\n'))
                             + QLatin1Char('\n')).toUtf8();
    bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

} // namespace

QString restoreMarkerName() { return QStringLiteral("restore-in-progress"); }

void failRestoreRenameForTests(int n, bool crash)
{
    g_failRenameAt = n;
    g_crashAtFailure = crash;
}

QString takeBackUnfinishedRestore(const QString &dataDir, bool *tookBack)
{
    if (tookBack)
        *tookBack = false;
    const QString marker = dataDir + QLatin1Char('/') + restoreMarkerName();
    if (!present(marker))
        return QString();
    QFile f(marker);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取 %1，上次恢复备份没有完成。").arg(native(marker));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    f.close();
    const QStringList existed = lines.mid(1);
    for (const QString &name : fileNames()) {
        const RestoreNames n(dataDir, name);
        bool ok = true;
        if (present(n.old))
            ok = renameOver(n.old, n.target);
        else if (!existed.contains(name))
            unlinkPath(n.target);   // it came from the set
        if (ok && present(n.oldJournal))
            ok = renameOver(n.oldJournal, n.journal);
        if (!ok)
            return QStringLiteral("上次恢复备份没有完成，无法把 %1 放回原处：%2")
                .arg(native(n.target), QString::fromLocal8Bit(std::strerror(errno)));
        unlinkPath(n.temp);
    }
    syncPath(dataDir);
    unlinkPath(marker);
    syncPath(dataDir);
    if (tookBack)
        *tookBack = true;
    return QString();
}

RestoreResult restore(const QString &dataDir, const QString &setPath)
{
    RestoreResult result;
    result.error = checkSet(setPath);
    if (!result.error.isEmpty())
        return result;

    const QStringList names = fileNames();
    QStringList existed;
    for (const QString &name : names)
        if (present(dataDir + QLatin1Char('/') + name))
            existed << name;
    // The files as they are go into a set of their own, made as the daily sets are.
    if (!existed.isEmpty()) {
        result.keptSet = keepCurrentFiles(dataDir, QStringLiteral("before-restore"), &result.error);
        if (result.keptSet.isEmpty())
            return result;
    }

    // Copies beside the files first: a failure here changes nothing.
    auto dropTemps = [&] {
        for (const QString &name : names)
            unlinkPath(RestoreNames(dataDir, name).temp);
    };
    for (const QString &name : names) {
        const RestoreNames n(dataDir, name);
        unlinkPath(n.temp);
        if (!copyPrivate(setPath + QLatin1Char('/') + name, n.temp)) {
            dropTemps();
            result.error = QStringLiteral("无法把备份复制到 %1").arg(native(n.temp));
            return result;
        }
    }
    // Left by a restore that was complete but could not tidy up.
    for (const QString &name : names) {
        const RestoreNames n(dataDir, name);
        unlinkPath(n.old);
        unlinkPath(n.oldJournal);
    }

    // From the marker on, the files as they were stay under ".old" (with a journal a crash
    // left, which belongs to them) until all three of the set are in place; whoever finds
    // the marker puts them back.
    const QString marker = dataDir + QLatin1Char('/') + restoreMarkerName();
    if (!writeMarker(marker, existed) || !syncPath(dataDir)) {
        unlinkPath(marker);
        dropTemps();
        result.error = QStringLiteral("无法在 %1 中写入文件").arg(native(dataDir));
        return result;
    }
    int renames = 0;
    auto step = [&](const QString &from, const QString &to) {
        if (g_failRenameAt > 0 && ++renames == g_failRenameAt) {
            if (g_crashAtFailure)
                throw Crashed();
            errno = EIO;
            return false;
        }
        return renameOver(from, to);
    };
    QString failed;
    try {
        for (const QString &name : names) {
            const RestoreNames n(dataDir, name);
            if ((present(n.journal) && !step(n.journal, n.oldJournal)) || (present(n.target) && !step(n.target, n.old))) {
                failed = n.target;
                break;
            }
        }
        for (int i = 0; failed.isEmpty() && i < names.size(); ++i) {
            const RestoreNames n(dataDir, names[i]);
            if (!step(n.temp, n.target))
                failed = n.target;
        }
    } catch (const Crashed &) {
        result.error = QStringLiteral("stopped");
        return result;
    }
    if (!failed.isEmpty()) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        const QString back = takeBackUnfinishedRestore(dataDir);
        dropTemps();
        result.error = back.isEmpty()
            ? QStringLiteral("无法替换数据文件 %1（%2），数据文件仍是恢复前的样子。").arg(native(failed), why)
            : back;
        return result;
    }
    syncPath(dataDir);
    unlinkPath(marker);
    syncPath(dataDir);
    for (const QString &name : names) {
        const RestoreNames n(dataDir, name);
        unlinkPath(n.old);
        unlinkPath(n.oldJournal);
    }
    result.ok = true;
    return result;
}

} // namespace Backup

namespace {

// The connections of a set as the worker thread opened them: one reading each file, one
// writing its copy. Reading through connections of its own keeps the pages read out of
// the program's page cache, which would otherwise grow by the whole file; a change the
// program makes meanwhile has the engine start that file's copy again.
struct Prepared {
    sqlite3 *source[3] = {nullptr, nullptr, nullptr};
    sqlite3 *dest[3] = {nullptr, nullptr, nullptr};
    QString error;
    ~Prepared()
    {
        for (sqlite3 **all : {source, dest})
            for (int i = 0; i < 3; ++i)
                if (all[i]) {
                    sqlite3_close(all[i]);
                    all[i] = nullptr;
                }
    }
};

// The engine derives each key from its password on the first read or write, which takes
// a good while on purpose: that first access happens here, away from the windows.
void prepareCopies(const QStringList &sourcePaths, const QString &partialPath, Prepared &out)
{
    const QList<Schema::DataFile> all = Schema::all();
    for (int i = 0; i < all.size(); ++i) {
        const QByteArray &key = all[i].password;
        sqlite3 *&src = out.source[i];
        int rc = sqlite3_open_v2(QFile::encodeName(sourcePaths.value(i)).constData(), &src, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_key(src, key.constData(), int(key.size()));
        // The first read derives the key while it holds a read lock on the file: a save the
        // program commits meanwhile waits for it (busy timeout), and this read waits for a
        // save being committed. The slices later retry instead of waiting.
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(src, 10000);
            rc = sqlite3_exec(src, "PRAGMA cache_size = 200; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
            sqlite3_busy_timeout(src, 0);
        }
        if (rc != SQLITE_OK) {
            out.error = QStringLiteral("%1: %2").arg(native(sourcePaths.value(i)), engineText(src, rc));
            return;
        }

        const QString path = partialPath + QLatin1Char('/') + all[i].fileName;
        sqlite3 *&db = out.dest[i];
        rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_key(db, key.constData(), int(key.size()));
        // A copy being written needs no journal: until it is whole it is not a set at all.
        // A small cache makes the copy go to the file along the way, not all at the end.
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = 200;"
                                  "CREATE TABLE backup_probe (x); DROP TABLE backup_probe",
                              nullptr, nullptr, nullptr);
        PrivateFiles::setMode(path, PrivateFiles::kFileMode);
        if (rc != SQLITE_OK) {
            out.error = QStringLiteral("%1: %2").arg(native(path), engineText(db, rc));
            return;
        }
    }
}

} // namespace

struct BackupKeeper::Job {
    QString reason;
    QString dataDir;
    QString backupDir;
    QString name;
    QString partialPath;
    int sliceMs = kBackgroundSliceMs;
    int file = 0;   // index of the file being copied
    // The three copies, opened and keyed on the worker thread; each is closed once whole.
    std::shared_ptr<Prepared> prepared;
    bool copying = false;   // prepared and handed to the slices
    sqlite3_backup *backup = nullptr;
    qint64 totalBytes = 1;
    qint64 doneBytes = 0;   // of the files already copied
    qint64 fileBytes = 0;
    QElapsedTimer waiting;  // since the source was first found busy
    std::shared_ptr<bool> flushed;
};

BackupKeeper *BackupKeeper::of(TDataModule2 *dm)
{
    if (auto *keeper = dm->findChild<BackupKeeper *>(QString(), Qt::FindDirectChildrenOnly))
        return keeper;
    return new BackupKeeper(dm);
}

BackupKeeper::BackupKeeper(TDataModule2 *dm)
    : QObject(dm), m_dm(dm), m_dailyTimer(new QTimer(this)), m_sliceTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("backupKeeper"));
    qRegisterMetaType<BackupKeeper::Result>();
    m_dailyTimer->setSingleShot(true);
    connect(m_dailyTimer, &QTimer::timeout, this, [this] {
        if (!m_job && m_dm && !hasSetOfToday(m_dm->dataDir()))
            begin(dailyReason(), kBackgroundSliceMs);
    });
    m_sliceTimer->setSingleShot(true);
    connect(m_sliceTimer, &QTimer::timeout, this, &BackupKeeper::slice);
}

BackupKeeper::~BackupKeeper()
{
    drop();
}

QString BackupKeeper::dailyReason() { return QStringLiteral("start"); }

QString BackupKeeper::deletionReason(const QString &bookKey)
{
    return QStringLiteral("delete-book-") + sanitizedReason(bookKey);
}

bool BackupKeeper::busy() const { return m_job != nullptr; }

bool BackupKeeper::startDaily(int delayMs)
{
    if (!m_dm || m_job || m_dailyTimer->isActive() || hasSetOfToday(m_dm->dataDir()))
        return false;
    m_dailyTimer->start(qMax(0, delayMs));
    return true;
}

BackupKeeper::Result BackupKeeper::makeNow(const QString &reason)
{
    if (m_job && m_job->sliceMs == kForegroundSliceMs)
        return {false, reason, QString(), QStringLiteral("另一份备份正在写入")};
    m_dailyTimer->stop();
    drop();   // a background set gives way; it would not hold this moment's files

    Result result;
    bool done = false;
    QEventLoop loop;
    const QMetaObject::Connection c = connect(this, &BackupKeeper::finished, &loop, [&](const Result &r) {
        result = r;
        done = true;
        loop.quit();
    });
    begin(reason, kForegroundSliceMs);
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(c);
    return result;
}

void BackupKeeper::begin(const QString &reason, int sliceMs)
{
    auto job = std::make_unique<Job>();
    job->reason = sanitizedReason(reason);
    job->sliceMs = sliceMs;
    m_job = std::move(job);
    if (!m_dm) {
        fail(QStringLiteral("数据文件未打开"));
        return;
    }
    Job &j = *m_job;
    j.dataDir = m_dm->dataDir();
    j.backupDir = Backup::folder(j.dataDir);
    if (!makeBackupFolder(j.backupDir)) {
        fail(QStringLiteral("无法创建备份文件夹 %1").arg(native(j.backupDir)));
        return;
    }
    removePartials(j.backupDir);
    j.name = newSetName(j.backupDir, j.reason);
    j.partialPath = j.backupDir + QLatin1Char('/') + kPartialPrefix + j.name;
    if (!makePrivateFolder(j.partialPath)) {
        j.partialPath.clear();
        fail(QStringLiteral("无法在 %1 中写入备份").arg(native(j.backupDir)));
        return;
    }
    qint64 total = 0;
    QStringList sources;
    for (Connection *c : {&m_dm->conn_jz_m, &m_dm->conn_jz_f, &m_dm->conn_jz_u}) {
        if (!c->isOpen()) {
            fail(QStringLiteral("%1 未打开").arg(native(c->path())));
            return;
        }
        sources << c->path();
        total += QFileInfo(c->path()).size();
    }
    j.totalBytes = qMax<qint64>(1, total);

    j.prepared = std::make_shared<Prepared>();
    std::shared_ptr<Prepared> prepared = j.prepared;
    const QString partial = j.partialPath;
    runOnWorker([sources, partial, prepared] { prepareCopies(sources, partial, *prepared); },
                &BackupKeeper::copiesPrepared);
    Q_EMIT progress(0);   // last: a listener may even drop the set
}

void BackupKeeper::copiesPrepared()
{
    if (!m_job || !m_job->prepared || m_job->copying)
        return;
    if (!m_job->prepared->error.isEmpty()) {
        fail(m_job->prepared->error);
        return;
    }
    m_job->copying = true;
    scheduleSlice(0);
}

void BackupKeeper::runOnWorker(std::function<void()> work, void (BackupKeeper::*then)())
{
    endWorker();
    const quint64 run = m_workerRun;
    m_worker = QThread::create(std::move(work));
    m_worker->setParent(this);
    // The end of a worker is queued to this thread; a set dropped meanwhile must not
    // take the end of its worker for the end of the next set's.
    connect(m_worker, &QThread::finished, this, [this, run, then] {
        if (run != m_workerRun)
            return;
        endWorker();
        (this->*then)();
    });
    m_worker->start();
}

void BackupKeeper::endWorker()
{
    ++m_workerRun;
    if (!m_worker)
        return;
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}

void BackupKeeper::scheduleSlice(int delayMs) { m_sliceTimer->start(delayMs); }

void BackupKeeper::slice()
{
    if (!m_job || !m_job->copying || m_job->flushed)
        return;
    if (!m_dm) {
        fail(QStringLiteral("数据文件已关闭"));
        return;
    }
    Job &j = *m_job;
    QElapsedTimer clock;
    clock.start();
    do {
        if (!j.backup) {
            if (j.file == 3) {
                flushAndName();
                return;
            }
            if (!openFile())
                return;
        }
        const int rc = sqlite3_backup_step(j.backup, kPagesPerStep);
        if (rc == SQLITE_DONE) {
            if (!closeFile())
                return;
        } else if (rc == SQLITE_OK) {
            j.waiting.invalidate();
        } else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // The program or another process is writing the file just now.
            if (!j.waiting.isValid())
                j.waiting.start();
            if (j.waiting.elapsed() > kBusyLimitMs) {
                fail(QStringLiteral("%1 长时间被占用").arg(Backup::fileNames().value(j.file)));
                return;
            }
            scheduleSlice(kBusyRetryMs);
            return;
        } else {
            fail(QStringLiteral("%1: %2").arg(Backup::fileNames().value(j.file), QString::fromUtf8(sqlite3_errstr(rc))));
            return;
        }
    } while (clock.elapsed() < j.sliceMs);

    qint64 done = j.doneBytes;
    if (j.backup) {
        const int pages = sqlite3_backup_pagecount(j.backup);
        if (pages > 0)
            done += j.fileBytes * (pages - sqlite3_backup_remaining(j.backup)) / pages;
    }
    Q_EMIT progress(int(qMin<qint64>(999, done * 1000 / j.totalBytes)));
    scheduleSlice(0);
}

bool BackupKeeper::openFile()
{
    Job &j = *m_job;
    const Schema::DataFile file = Schema::all().value(j.file);
    sqlite3 *dest = j.prepared->dest[j.file];
    sqlite3 *source = j.prepared->source[j.file];
    j.backup = sqlite3_backup_init(dest, "main", source, "main");
    if (!j.backup) {
        fail(QStringLiteral("%1: %2").arg(native(j.partialPath + QLatin1Char('/') + file.fileName),
                                          engineText(dest, sqlite3_errcode(dest))));
        return false;
    }
    j.fileBytes = QFileInfo(QString::fromUtf8(sqlite3_db_filename(source, "main"))).size();
    return true;
}

bool BackupKeeper::closeFile()
{
    Job &j = *m_job;
    sqlite3 *&dest = j.prepared->dest[j.file];
    int rc = sqlite3_backup_finish(j.backup);
    j.backup = nullptr;
    // The copy must read with its password, as a restore will read it.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(dest, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(QStringLiteral("%1: %2").arg(Backup::fileNames().value(j.file), engineText(dest, rc)));
        return false;
    }
    rc = sqlite3_close(dest);
    dest = nullptr;
    sqlite3_close(j.prepared->source[j.file]);
    j.prepared->source[j.file] = nullptr;
    if (rc != SQLITE_OK) {
        fail(QStringLiteral("%1: %2").arg(Backup::fileNames().value(j.file), QString::fromUtf8(sqlite3_errstr(rc))));
        return false;
    }
    j.doneBytes += j.fileBytes;
    ++j.file;
    return true;
}

// The copies go to disk on a thread of their own (that can take a while for a large
// file), and only then does the folder get its set's name.
void BackupKeeper::flushAndName()
{
    Job &j = *m_job;
    j.flushed = std::make_shared<bool>(false);
    QStringList paths;
    for (const QString &name : Backup::fileNames())
        paths << j.partialPath + QLatin1Char('/') + name;
    paths << j.partialPath;
    std::shared_ptr<bool> flushed = j.flushed;
    runOnWorker([paths, flushed] {
        bool ok = true;
        for (const QString &p : paths)
            ok = syncPath(p) && ok;
        *flushed = ok;
    }, &BackupKeeper::named);
}

void BackupKeeper::named()
{
    if (!m_job || !m_job->flushed)
        return;
    Job &j = *m_job;
    const QString finalPath = j.backupDir + QLatin1Char('/') + j.name;
    if (!*j.flushed || !renameOver(j.partialPath, finalPath)) {
        fail(QStringLiteral("无法完成备份 %1").arg(native(finalPath)));
        return;
    }
    j.partialPath.clear();
    syncPath(j.backupDir);
    prune(j.dataDir);
    const Result result{true, j.reason, finalPath, QString()};
    m_job.reset();
    Q_EMIT progress(1000);
    Q_EMIT finished(result);
}

void BackupKeeper::fail(QString error)
{
    const QString reason = m_job ? m_job->reason : QString();
    drop();
    Q_EMIT finished({false, reason, QString(), error});
}

void BackupKeeper::drop()
{
    m_sliceTimer->stop();
    endWorker();
    if (!m_job)
        return;
    Job &j = *m_job;
    if (j.backup)
        sqlite3_backup_finish(j.backup);
    j.prepared.reset();   // closes the copies
    if (!j.partialPath.isEmpty())
        removeSetFolder(j.partialPath);
    m_job.reset();
}
