#include "data/counterparty_reader.h"

#include <sqlcipher/sqlite3.h>
#include <QTimer>
#include <exception>
#include "data/book_cache.h"
#include "data/book_refresh.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/engine_scalar.h"
#include "data/schema.h"

namespace {

// About what one pass reads within a tenth of a second on a slow machine.
qint64 g_inlineLimit = 20000;


} // namespace

void CounterpartyReader::setInlineLimit(qint64 entries) { g_inlineLimit = entries; }
qint64 CounterpartyReader::inlineLimit() { return g_inlineLimit; }

CounterpartyReader::CounterpartyReader(TDataModule2 &dm, QObject *parent) : QObject(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("counterpartyReader"));
}

CounterpartyReader::~CounterpartyReader()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_stopPass = true;
        m_jobs.clear();
        // A pass under way stops at its next row.
        if (sqlite3 *db = m_workerDb.load())
            sqlite3_interrupt(db);
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CounterpartyReader::setHandlers(SummaryHandler summary, StatementHandler statement, FailureHandler failure)
{
    m_onSummary = std::move(summary);
    m_onStatement = std::move(statement);
    m_onFailure = std::move(failure);
}

CounterpartyReader::Stamp CounterpartyReader::stamp() const
{
    Stamp s;
    sqlite3 *db = m_dm.conn_jz_m.handle();
    if (!db)
        return s;
    s.db = db;
    s.changes = sqlite3_total_changes(db);
    s.dataVersion = engineScalar(db, "PRAGMA data_version");
    s.schema = engineScalar(db, "PRAGMA schema_version");
    // Inside a transaction the file may yet change back: nothing read now is proven.
    if (!sqlite3_get_autocommit(db))
        s.changes = -2;
    return s;
}

bool CounterpartyReader::large() const
{
    sqlite3 *db = m_dm.conn_jz_m.handle();
    // Entry numbers are never reused: the highest bounds how many there are, from the index.
    return db && engineScalar(db, "select coalesce(max(bid), 0) from jz_ab") > g_inlineLimit;
}

void CounterpartyReader::requestSummary(const QString &bookKey, const QDate &cutoff)
{
    Job job;
    job.ticket = ++m_summaryTicket;
    job.bookKey = bookKey;
    job.cutoff = cutoff;
    // The current book's rows in memory, when they are what the file holds, are read in
    // place of the file: the largest part of most passes.
    const QString current = BookRefresh::bookKey(m_dm);
    BookCache &cache = BookCache::of(m_dm);
    if (!current.isEmpty() && (bookKey.isEmpty() || bookKey == current) && cache.isCurrent(current)) {
        const QStringList fields = cache.fields();
        bool plain = true;
        // bid is the engine's integer, held as its decimal text: only the others must be text.
        for (const char *f : {"b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9", "b10"})
            plain = plain && cache.plainColumn(int(fields.indexOf(QString::fromLatin1(f))));
        if (plain)
            job.held = wanglai::HeldRows::of(fields, cache.rows(), cache.bookOrder(), current);
    }
    m_summaryPending = true;
    run(std::move(job));
}

void CounterpartyReader::requestStatement(const QString &bookKey, const QString &party, const QDate &from,
                                          const QDate &to)
{
    Job job;
    job.statement = true;
    job.ticket = ++m_statementTicket;
    job.bookKey = bookKey;
    job.party = party;
    job.from = from;
    job.to = to;
    m_statementPending = true;
    run(std::move(job));
}

void CounterpartyReader::cancel()
{
    ++m_summaryTicket;
    ++m_statementTicket;
    m_summaryPending = m_statementPending = false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.clear();
    if (!m_busy)
        return;
    m_stopPass = true;
    if (sqlite3 *db = m_workerDb.load())
        sqlite3_interrupt(db);
    m_idle.wait(lock, [this] { return !m_busy; });
    m_stopPass = false;
}

void CounterpartyReader::run(Job job)
{
    job.stamp = stamp();
    if (job.statement && m_summary && m_summary->bookKey == job.bookKey && job.stamp == m_summaryStamp
        && job.stamp.changes >= 0)
        job.index = m_summary->index;
    if (large()) {
        post(job);
        return;
    }
    std::shared_ptr<const wanglai::Summary> summary;
    std::shared_ptr<const wanglai::Statement> statement;
    QString error;
    try {
        if (job.statement)
            statement = std::make_shared<wanglai::Statement>(wanglai::readStatement(
                m_dm.conn_jz_m, job.bookKey, job.party, job.from, job.to, job.index.get()));
        else
            summary = std::make_shared<wanglai::Summary>(
                wanglai::readSummary(m_dm.conn_jz_m, job.bookKey, job.cutoff, job.held));
    } catch (const DbError &e) {
        error = e.text();
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
    }
    answered(job, summary, statement, error);
}

void CounterpartyReader::post(const Job &job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // An older request of the same kind that has not started is not wanted any more.
        for (auto it = m_jobs.begin(); it != m_jobs.end();)
            it = it->statement == job.statement ? m_jobs.erase(it) : it + 1;
        m_jobs.push_back(job);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { work(); });
    }
    m_wake.notify_all();
}

void CounterpartyReader::work()
{
    Connection conn(QStringLiteral("conn_wanglai"));
    QString openError;
    const QString path = m_dm.conn_jz_m.path();
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            const quint64 current = job.statement ? m_statementTicket.load() : m_summaryTicket.load();
            if (job.ticket != current)
                continue;
            m_busy = true;
        }
        std::shared_ptr<const wanglai::Summary> summary;
        std::shared_ptr<const wanglai::Statement> statement;
        QString error;
        try {
            if (!conn.isOpen()) {
                conn.open(path, Schema::ledger().password);
                // A pass reads each page once: a large cache would only hold memory.
                conn.exec(QStringLiteral("PRAGMA cache_size = -16384"));
                std::lock_guard<std::mutex> lock(m_mutex);
                m_workerDb = conn.handle();
            }
            if (job.statement)
                statement = std::make_shared<wanglai::Statement>(
                    wanglai::readStatement(conn, job.bookKey, job.party, job.from, job.to, job.index.get()));
            else
                summary = std::make_shared<wanglai::Summary>(
                    wanglai::readSummary(conn, job.bookKey, job.cutoff, job.held, &m_stopPass));
        } catch (const DbError &e) {
            error = e.text();
        } catch (const std::exception &e) {
            error = QString::fromUtf8(e.what());
        }
        job.held.reset();
        job.index.reset();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_busy = false;
            m_idle.notify_all();
            if (m_stop)
                break;
            // Queued to this object's thread; dropped there if the reader is gone by then.
            QMetaObject::invokeMethod(
                this, [this, job, summary, statement, error] { answered(job, summary, statement, error); },
                Qt::QueuedConnection);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workerDb = nullptr;
    conn.close();
}

void CounterpartyReader::answered(const Job &job, std::shared_ptr<const wanglai::Summary> summary,
                                  std::shared_ptr<const wanglai::Statement> statement, const QString &error)
{
    const quint64 current = job.statement ? m_statementTicket.load() : m_summaryTicket.load();
    if (job.ticket != current)
        return;
    // The file changed while it was read (or a transaction was open): ask again.
    const Stamp now = stamp();
    if (!(now == job.stamp) || now.changes < 0) {
        auto again = [this, job] {
            if (job.statement)
                requestStatement(job.bookKey, job.party, job.from, job.to);
            else
                requestSummary(job.bookKey, job.cutoff);
        };
        if (now.changes >= 0) {
            again();
        } else {
            // Once the transaction is over.
            const quint64 ticket = job.ticket;
            QTimer::singleShot(50, this, [this, job, ticket, again] {
                if (ticket == (job.statement ? m_statementTicket.load() : m_summaryTicket.load()))
                    again();
            });
        }
        return;
    }
    (job.statement ? m_statementPending : m_summaryPending) = false;
    if (!error.isEmpty()) {
        if (m_onFailure)
            m_onFailure(error);
        return;
    }
    if (summary) {
        m_summary = summary;
        m_summaryStamp = job.stamp;
        if (m_onSummary)
            m_onSummary(summary);
    } else if (statement && m_onStatement) {
        m_onStatement(statement);
    }
}
