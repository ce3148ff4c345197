#include "data/backup.h"

#include <sqlcipher/sqlite3.h>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include "data/data_module.h"
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

// A folder name for a new set, unused so far. Its time is later than every set's already
// there, so that "newest" is always the set made last, even within one second.
QString newSetName(const QString &backupDir, const QString &reason)
{
    QDateTime stamp = QDateTime::currentDateTime();
    stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
    const QDir dir(backupDir);
    for (QString name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (name.startsWith(kPartialPrefix))
            name = name.mid(kPartialPrefix.size());
        const QRegularExpressionMatch m = setNameRx().match(name);
        const QDateTime made = m.hasMatch() ? QDateTime::fromString(m.captured(1), kStampFormat) : QDateTime();
        if (made.isValid() && made >= stamp)
            stamp = made.addSecs(1);
    }
    const QString base = stamp.toString(kStampFormat) + QLatin1Char('-') + sanitizedReason(reason);
    QString name = base;
    for (int n = 2; QFileInfo::exists(backupDir + QLatin1Char('/') + name)
                    || QFileInfo::exists(backupDir + QLatin1Char('/') + kPartialPrefix + name);
         ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

// Folders of sets that were being written when a run ended; only one program writes
// here (the single-instance lock), so none of them is still in progress.
void removePartials(const QString &backupDir)
{
    const QDir dir(backupDir);
    for (const QString &name : dir.entryList({kPartialPrefix + QLatin1Char('*')},
                                             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        QDir(dir.filePath(name)).removeRecursively();
}

void prune(const QString &dataDir)
{
    const QList<Backup::SetInfo> sets = Backup::completeSets(dataDir);
    for (int i = Backup::kKeptSets; i < sets.size(); ++i)
        QDir(sets[i].path).removeRecursively();
}

bool hasSetOfToday(const QString &dataDir)
{
    const QDate today = QDate::currentDate();
    const QList<Backup::SetInfo> sets = Backup::completeSets(dataDir);
    return std::any_of(sets.begin(), sets.end(), [&](const Backup::SetInfo &s) { return s.made.date() == today; });
}

// Copies files into a new set folder by plain copies (the program is not running).
// Returns the set's folder, or empty with *error set.
QString copySet(const QString &dataDir, const QString &reason, const QStringList &files, QString *error)
{
    const QString backupDir = Backup::folder(dataDir);
    if (!QDir().mkpath(backupDir)) {
        *error = QStringLiteral("无法创建备份文件夹 %1").arg(native(backupDir));
        return QString();
    }
    const QString name = newSetName(backupDir, reason);
    const QString partial = backupDir + QLatin1Char('/') + kPartialPrefix + name;
    if (!QDir().mkdir(partial)) {
        *error = QStringLiteral("无法创建备份文件夹 %1").arg(native(partial));
        return QString();
    }
    for (const QString &file : files) {
        const QString target = partial + QLatin1Char('/') + QFileInfo(file).fileName();
        if (!QFile::copy(file, target) || !syncPath(target)) {
            *error = QStringLiteral("无法复制 %1 到 %2").arg(native(file), native(partial));
            QDir(partial).removeRecursively();
            return QString();
        }
    }
    const QString finalPath = backupDir + QLatin1Char('/') + name;
    if (!syncPath(partial) || !renameOver(partial, finalPath)) {
        *error = QStringLiteral("无法完成备份 %1").arg(native(finalPath));
        QDir(partial).removeRecursively();
        return QString();
    }
    syncPath(backupDir);
    return finalPath;
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

QList<SetInfo> completeSets(const QString &dataDir)
{
    QList<SetInfo> sets;
    const QDir dir(folder(dataDir));
    const QStringList files = fileNames();
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
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
    std::sort(sets.begin(), sets.end(), [](const SetInfo &a, const SetInfo &b) {
        return a.made != b.made ? a.made > b.made : a.name > b.name;
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

RestoreResult restore(const QString &dataDir, const QString &setPath)
{
    RestoreResult result;
    result.error = checkSet(setPath);
    if (!result.error.isEmpty())
        return result;

    // The files as they are go into a set of their own, with a journal left by a crash.
    QStringList current;
    for (const QString &name : fileNames())
        for (const QString &path : {dataDir + QLatin1Char('/') + name, dataDir + QLatin1Char('/') + name + QStringLiteral("-journal")})
            if (QFileInfo(path).isFile())
                current << path;
    if (!current.isEmpty()) {
        result.keptSet = copySet(dataDir, QStringLiteral("before-restore"), current, &result.error);
        if (result.keptSet.isEmpty())
            return result;
    }

    // Copies beside the files first: a failure here changes nothing.
    QStringList temps;
    auto dropTemps = [&] {
        for (const QString &t : temps)
            QFile::remove(t);
    };
    for (const QString &name : fileNames()) {
        const QString temp = dataDir + QLatin1Char('/') + name + QStringLiteral(".restore");
        QFile::remove(temp);
        temps << temp;
        if (!QFile::copy(setPath + QLatin1Char('/') + name, temp) || !syncPath(temp)) {
            dropTemps();
            result.error = QStringLiteral("无法把备份复制到 %1").arg(native(temp));
            return result;
        }
    }
    // An old journal must never be played back onto a restored file.
    const QStringList names = fileNames();
    for (int i = 0; i < names.size(); ++i) {
        const QString target = dataDir + QLatin1Char('/') + names[i];
        const QString journal = target + QStringLiteral("-journal");
        if ((QFileInfo::exists(journal) && !QFile::remove(journal)) || !renameOver(temps[i], target)) {
            dropTemps();
            result.error = QStringLiteral("无法替换数据文件 %1；恢复前的文件保存在 %2")
                               .arg(native(target), native(result.keptSet));
            return result;
        }
    }
    syncPath(dataDir);
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
    if (!QDir().mkpath(j.backupDir) || !QFileInfo(j.backupDir).isDir()) {
        fail(QStringLiteral("无法创建备份文件夹 %1").arg(native(j.backupDir)));
        return;
    }
    removePartials(j.backupDir);
    j.name = newSetName(j.backupDir, j.reason);
    j.partialPath = j.backupDir + QLatin1Char('/') + kPartialPrefix + j.name;
    if (!QDir().mkdir(j.partialPath)) {
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
        QDir(j.partialPath).removeRecursively();
    m_job.reset();
}
