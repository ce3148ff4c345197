#pragma once
#include <QByteArray>
#include <QString>
#include <QList>
#include <QPair>

struct sqlite3;
struct sqlite3_stmt;

// Named text parameters (":a" -> value). A null QString binds SQL NULL.
using Params = QList<QPair<QString, QString>>;

// One encrypted database file, opened with its password and kept open.
class Connection
{
public:
    explicit Connection(QString name);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QString name() const { return m_name; }
    QString path() const { return m_path; }

    // How long a statement waits for another process that holds the file before it fails.
    static constexpr int kBusyTimeoutMs = 3000;
    void setBusyTimeout(int ms);

    // Opens the file with its key and proves the key by reading the schema.
    // create=false refuses a missing file. Throws DbError.
    void open(const QString &path, const QByteArray &key, bool create = false);
    void close();
    // Takes over the file other has open (opened in another thread, say); other is left
    // closed. This connection keeps its own name.
    void takeOver(Connection &other);
    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }

    // Runs one statement that returns no rows. Throws DbError.
    void exec(const QString &sql, const Params &params = {});
    qint64 lastInsertId() const;
    int changes() const;

    // Prepares and binds; the caller steps and finalizes (Statement does both).
    sqlite3_stmt *prepare(const QString &sql, const Params &params) const;
    // Throws the engine's last error. Errors a user can act on (the file held by another
    // program, a full disk, a read-only file) lead with a sentence saying so.
    [[noreturn]] void fail(const QString &context = {}) const;

    // A change made of several statements: all or nothing.
    class Transaction
    {
    public:
        explicit Transaction(Connection &c);
        ~Transaction();
        void commit();

    private:
        Connection &m_c;
        bool m_done = false;
    };

    // The file key the engine derives from a password and a file's salt (PBKDF2 with
    // HMAC-SHA1, 32 bytes), computed here the same way with the hash states kept between
    // rounds, which makes it several times faster than the engine's own.
    static QByteArray deriveFileKey(const QByteArray &password, const QByteArray &salt, int iterations);
    // The rounds the engine uses for files made with its defaults (as all of ours are).
    static int defaultKeyRounds();

private:
    void openWith(const QString &path, const QByteArray &keyText, bool create);
    int cacheKiB() const;
    QString m_name;
    QString m_path;
    sqlite3 *m_db = nullptr;
};
