#pragma once
// Reads the counterparty figures without holding the user-interface thread: a ledger large
// enough for a pass to take long is read on a worker thread with a connection of its own,
// and an answer is handed on only when the file has not changed since it was asked for
// (otherwise it is asked again). A small ledger is answered at once, on the caller's
// connection. Only the latest request of each kind is answered.
#include <QDate>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include "data/counterparty_balances.h"

class TDataModule2;
struct sqlite3;

class CounterpartyReader : public QObject
{
    Q_OBJECT
public:
    explicit CounterpartyReader(TDataModule2 &dm, QObject *parent = nullptr);
    ~CounterpartyReader() override;

    // Ledgers with more entries than this are read on the worker.
    static void setInlineLimit(qint64 entries);
    static qint64 inlineLimit();

    using SummaryHandler = std::function<void(std::shared_ptr<const wanglai::Summary>)>;
    using StatementHandler = std::function<void(std::shared_ptr<const wanglai::Statement>)>;
    using FailureHandler = std::function<void(const QString &)>;
    void setHandlers(SummaryHandler summary, StatementHandler statement, FailureHandler failure);

    // The answer goes to the handler, possibly before these return.
    void requestSummary(const QString &bookKey, const QDate &cutoff);
    // An invalid `from` means from the counterparty's first entry.
    void requestStatement(const QString &bookKey, const QString &party, const QDate &from, const QDate &to);
    // Forgets what was asked: no answer of an earlier request comes any more, and a pass
    // under way has stopped when this returns (the book's rows in memory may change after).
    void cancel();

    bool summaryPending() const { return m_summaryPending; }
    // The last summary handed on.
    std::shared_ptr<const wanglai::Summary> lastSummary() const { return m_summary; }
    bool statementPending() const { return m_statementPending; }

private:
    struct Stamp {
        const void *db = nullptr;
        long long changes = -1, dataVersion = -1, schema = -1;
        bool operator==(const Stamp &o) const
        {
            return db == o.db && changes == o.changes && dataVersion == o.dataVersion && schema == o.schema;
        }
    };
    struct Job {
        bool statement = false;
        quint64 ticket = 0;
        QString bookKey, party;
        QDate cutoff, from, to;
        std::shared_ptr<const wanglai::PartyIndex> index;
        std::shared_ptr<const wanglai::HeldRows> held;
        Stamp stamp;
    };
    Stamp stamp() const;
    bool large() const;
    void run(Job job);
    void post(const Job &job);
    void work();
    void answered(const Job &job, std::shared_ptr<const wanglai::Summary> summary,
                  std::shared_ptr<const wanglai::Statement> statement, const QString &error);

    TDataModule2 &m_dm;
    SummaryHandler m_onSummary;
    StatementHandler m_onStatement;
    FailureHandler m_onFailure;
    std::atomic<quint64> m_summaryTicket{0}, m_statementTicket{0};
    bool m_summaryPending = false, m_statementPending = false;
    // The last summary handed on, and the file as it was then: its index serves statements
    // while the file stays so.
    std::shared_ptr<const wanglai::Summary> m_summary;
    Stamp m_summaryStamp;

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stop = false;
    bool m_busy = false;                 // a pass is under way
    std::condition_variable m_idle;
    std::atomic<bool> m_stopPass{false};
    std::atomic<sqlite3 *> m_workerDb{nullptr};
};
