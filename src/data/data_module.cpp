#include "data/data_module.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>
#include <fcntl.h>
#include <unistd.h>
#include <sqlcipher/sqlite3.h>
#include "data/db_error.h"
#include "data/private_files.h"
#include "data/schema.h"

TDataModule2 *DataModule2 = nullptr;

namespace {

struct FileSlot {
    Connection *conn;
    Schema::DataFile file;
    void (*create)(Connection &);
};

QString refusal(const QString &path, const QString &why)
{
    return QStringLiteral("无法打开数据文件 %1\n%2").arg(QDir::toNativeSeparators(path), why);
}

QString slotPath(const QString &dir, const FileSlot &s) { return dir + QLatin1Char('/') + s.file.fileName; }
QString tempPath(const QString &dir, const FileSlot &s) { return slotPath(dir, s) + QStringLiteral(".new"); }

// A database file with whatever journal the engine may have left beside it.
void removeDatabase(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// Gives a file its final name, never replacing one that appeared meanwhile.
bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link refuses to replace too.
    if (::link(a.constData(), b.constData()) != 0)
        return false;
    ::unlink(a.constData());
    return true;
}

void syncFolder(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// First start: build all three files beside each other under temporary names and
// only then give them their real names, so a failed first start leaves no partial set.
void createAll(const QString &dir, const QList<FileSlot> &slots)
{
    QStringList temps;
    auto cleanup = [&] {
        for (const QString &t : temps)
            removeDatabase(t);
    };
    for (const FileSlot &s : slots) {
        const QString tmp = tempPath(dir, s);
        removeDatabase(tmp);
        temps << tmp;
        try {
            Connection c(s.conn->name());
            c.open(tmp, s.file.password, true);
            PrivateFiles::setMode(tmp, PrivateFiles::kFileMode);
            s.create(c);
            c.close();
        } catch (const DbError &e) {
            cleanup();
            throw DbError(refusal(slotPath(dir, s), e.text()));
        }
    }
    for (int i = 0; i < slots.size(); ++i) {
        const QString target = slotPath(dir, slots[i]);
        if (!renameNoReplace(temps[i], target)) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            // Take back the names already given: a partial set would block every start.
            for (int j = 0; j < i; ++j)
                removeDatabase(slotPath(dir, slots[j]));
            cleanup();
            throw DbError(refusal(target, QStringLiteral("文件无法创建：%1").arg(why)));
        }
    }
    syncFolder(dir);
}

// A first start that was cut off between the renames (the process killed) leaves some
// files under their names and the others, complete, under their temporary ones: give
// those their names too. Returns false when the set stays partial.
bool finishInterruptedFirstStart(const QString &dir, const QList<FileSlot> &slots)
{
    for (const FileSlot &s : slots)
        if (!QFileInfo::exists(slotPath(dir, s)) && !QFileInfo(tempPath(dir, s)).isFile())
            return false;
    for (const FileSlot &s : slots)
        if (!QFileInfo::exists(slotPath(dir, s)) && !renameNoReplace(tempPath(dir, s), slotPath(dir, s)))
            return false;
    syncFolder(dir);
    return true;
}

// One file of the set opened and proven to be ours. Throws DbError naming the file.
void openChecked(const QString &dir, const Schema::DataFile &file, Connection &c)
{
    const QString path = dir + QLatin1Char('/') + file.fileName;
    const QFileInfo fi(path);
    if (!fi.isFile())
        throw DbError(refusal(path, QStringLiteral("这个位置不是一个文件。")));
    if (!fi.isReadable())
        throw DbError(refusal(path, QStringLiteral("没有读取这个文件的权限。")));
    if (!fi.isWritable())
        throw DbError(refusal(path, QStringLiteral("没有写入这个文件的权限。")));
    if (!QFileInfo(dir).isWritable())
        throw DbError(refusal(path, QStringLiteral("数据文件所在的文件夹不可写入。")));
    try {
        c.open(path, file.password);
        // An empty file opens as an empty database: make sure it is one of ours.
        for (const QString &table : file.tables)
            c.exec(QStringLiteral("select 1 from \"%1\" limit 0").arg(table));
        // A file cut short inside its last page still opens; its rows would fail later.
        sqlite3_stmt *st = c.prepare(QStringLiteral("PRAGMA page_size"), {});
        const int rc = sqlite3_step(st);
        const qint64 page = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW)
            c.fail();
        if (page <= 0 || QFileInfo(path).size() % page != 0)
            throw DbError(QStringLiteral("文件不完整，可能已被截断。"));
    } catch (const DbError &e) {
        c.close();
        QString why = e.text();
        if (e.code() == SQLITE_NOTADB || e.code() == SQLITE_CORRUPT)
            why = QStringLiteral("文件已损坏，或者不是本程序的数据文件。\n") + why;
        else if (why.startsWith(QLatin1String("no such table")))
            why = QStringLiteral("文件中没有本程序的数据表。\n") + why;
        throw DbError(refusal(path, why));
    }
}

// The three files being opened side by side, each into its own connection.
struct Opening {
    QString dir;
    // Named as the data module's own: a connection's settings may depend on its name.
    Connection conns[3]{Connection(QStringLiteral("conn_jz_m")), Connection(QStringLiteral("conn_jz_f")),
                        Connection(QStringLiteral("conn_jz_u"))};
    std::exception_ptr errors[3];
    std::thread threads[3];

    void join()
    {
        for (std::thread &t : threads)
            if (t.joinable())
                t.join();
    }
    ~Opening() { join(); }
};

std::unique_ptr<Opening> &pendingOpening()
{
    static std::unique_ptr<Opening> pending;
    return pending;
}

// Starts the three opens; with hereToo the last one runs in the calling thread (which
// then waits for it). An engine built without thread safety opens them one by one here.
std::unique_ptr<Opening> startOpening(const QString &dir, bool hereToo)
{
    auto opening = std::make_unique<Opening>();
    opening->dir = dir;
    const QList<Schema::DataFile> files = Schema::all();
    const bool threads = sqlite3_threadsafe() != 0;
    for (int i = 0; i < 3; ++i) {
        Opening *o = opening.get();
        auto run = [o, i, dir, file = files[i]] {
            try {
                openChecked(dir, file, o->conns[i]);
                // The phrase lists are read whole right after: their pages are decrypted
                // here, beside the main window being built, and then come from the cache.
                // Only a head start: should it fail, that read fails and tells why.
                if (i == 1) {
                    try {
                        for (const QString &table : file.tables)
                            o->conns[i].exec(QStringLiteral("select count(*) from \"%1\"").arg(table));
                    } catch (const DbError &) {
                    }
                }
            } catch (...) {
                o->errors[i] = std::current_exception();
            }
        };
        if (!threads || (hereToo && i == 2))
            run();
        else
            o->threads[i] = std::thread(run);
    }
    return opening;
}

} // namespace

void TDataModule2::beginOpening(const QString &dataDir)
{
    for (const Schema::DataFile &f : Schema::all())
        if (!QFileInfo::exists(dataDir + QLatin1Char('/') + f.fileName))
            return;
    pendingOpening() = startOpening(dataDir, false);
}

TDataModule2::TDataModule2(const QString &dataDir, QObject *parent) : QObject(parent), m_dir(dataDir)
{
    setObjectName(QStringLiteral("DataModule2"));
    const QList<FileSlot> slots{{&conn_jz_m, Schema::ledger(), &Schema::createLedger},
                                {&conn_jz_f, Schema::phrases(), &Schema::createPhrases},
                                {&conn_jz_u, Schema::details(), &Schema::createDetails}};
    QStringList missing;
    for (const FileSlot &s : slots)
        if (!QFileInfo::exists(m_dir + QLatin1Char('/') + s.file.fileName))
            missing << s.file.fileName;
    if (missing.size() == slots.size()) {
        createAll(m_dir, slots);
    } else if (!missing.isEmpty() && !finishInterruptedFirstStart(m_dir, slots)) {
        throw DbError(refusal(m_dir + QLatin1Char('/') + missing.first(),
                              QStringLiteral("数据文件缺失，其余数据文件未作任何改动。")));
    }
    std::unique_ptr<Opening> opening = std::move(pendingOpening());
    if (!opening || opening->dir != m_dir) {
        opening.reset();
        opening = startOpening(m_dir, true);
    }
    opening->join();
    // Faults are told in the order of the files, as when they were opened one by one.
    for (const std::exception_ptr &error : opening->errors)
        if (error)
            std::rethrow_exception(error);
    for (int i = 0; i < slots.size(); ++i)
        slots[i].conn->takeOver(opening->conns[i]);

    auto make = [this](Connection *c, const char *name, const QString &sql) {
        auto *q = new Query(c, QString::fromLatin1(name), this);
        q->setSql(sql);
        return q;
    };
    Query_jz_aa = make(&conn_jz_m, "Query_jz_aa", QStringLiteral("select * from jz_aa order by aid desc"));
    Query_jz_ab = make(&conn_jz_m, "Query_jz_ab", QStringLiteral("select * from jz_ab order by bid desc"));
    Query_jz_a1 = make(&conn_jz_f, "Query_jz_a1", QStringLiteral("select * from a1 order by zid desc"));
    Query_jz_a2 = make(&conn_jz_f, "Query_jz_a2", QStringLiteral("select * from a2 order by zid desc"));
    Query_count_shouru = make(&conn_jz_m, "Query_count_shouru", QString());
    Query_count_yishou = make(&conn_jz_m, "Query_count_yishou", QStringLiteral("select sum(b6) as tt1 from jz_ab"));
    Query_count_yingshou = make(&conn_jz_m, "Query_count_yingshou", QStringLiteral("select sum(b7) as tt1 from jz_ab"));
    Query_count_zhichu = make(&conn_jz_m, "Query_count_zhichu", QStringLiteral("select sum(b8) as tt1 from jz_ab"));
    Query_count_yifu = make(&conn_jz_m, "Query_count_yifu", QStringLiteral("select sum(b9) as tt1 from jz_ab"));
    Query_count_yingfu = make(&conn_jz_m, "Query_count_yingfu", QStringLiteral("select sum(b10) as tt1 from jz_ab"));
    check_data = make(&conn_jz_m, "check_data", QStringLiteral("select * from jz_aa order by aid desc"));
    check_f_data = make(&conn_jz_f, "check_f_data", QString());
    Query_jz_ua = make(&conn_jz_u, "Query_jz_ua", QStringLiteral("select * from jz_ua order by uaid desc"));
    Query_jz_ub = make(&conn_jz_u, "Query_jz_ub", QStringLiteral("select * from jz_ub"));
    Query_zhangben = make(&conn_jz_m, "Query_zhangben", QString());

    Query_jz_aa->setUpdateTable(QStringLiteral("jz_aa"), QStringLiteral("aid"));
    Query_jz_ab->setUpdateTable(QStringLiteral("jz_ab"), QStringLiteral("bid"));
    // The entry list and the phrase lists (one phrase per save, never merged) can hold a
    // million rows: keep their numbers, read values when shown.
    Query_jz_ab->setReadOnDemand(QStringLiteral("jz_ab"), QStringLiteral("bid"));
    Query_jz_a1->setReadOnDemand(QStringLiteral("a1"), QStringLiteral("zid"));
    Query_jz_a2->setReadOnDemand(QStringLiteral("a2"), QStringLiteral("zid"));
    Query_jz_a1->setUpdateTable(QStringLiteral("a1"), QStringLiteral("zid"));
    Query_jz_a2->setUpdateTable(QStringLiteral("a2"), QStringLiteral("zid"));
    Query_jz_ua->setUpdateTable(QStringLiteral("jz_ua"), QStringLiteral("uaid"));

    // The entry list and the detail lines get their real statements before anyone
    // looks at them (the first book refresh, the detail window), so reading whole
    // tables at start would be wasted work.
    Query_jz_aa->open();
    Query_jz_a1->open();
    Query_jz_a2->open();
    check_data->open();
    Query_jz_ub->open();
    DataModule2 = this;
}

TDataModule2::~TDataModule2()
{
    if (DataModule2 == this)
        DataModule2 = nullptr;
}

Query *TDataModule2::totalQuery(int i) const
{
    Query *const all[] = {Query_count_shouru, Query_count_yishou, Query_count_yingshou,
                          Query_count_zhichu, Query_count_yifu, Query_count_yingfu};
    return (i >= 0 && i < 6) ? all[i] : nullptr;
}
