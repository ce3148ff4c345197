#pragma once
#include <QObject>
#include <QString>
#include <memory>
#include "data/connection.h"
#include "data/query.h"

// The three connections and every standing query, created once at start.
class TDataModule2 : public QObject
{
    Q_OBJECT
public:
    // Opens the three files in dataDir (creating all three on a first start).
    // Throws DbError naming the file when the set is partial or a file cannot be opened.
    explicit TDataModule2(const QString &dataDir, QObject *parent = nullptr);
    ~TDataModule2() override;

    // Opening takes most of a start (a key derivation per file), so it may begin while the
    // main window is built: starts opening the three files of dataDir in background
    // threads and returns at once. The next data module made for dataDir takes them over
    // and reports any fault as it would have. Does nothing unless all three files exist.
    static void beginOpening(const QString &dataDir);

    QString dataDir() const { return m_dir; }

    Connection conn_jz_m{QStringLiteral("conn_jz_m")};
    Connection conn_jz_f{QStringLiteral("conn_jz_f")};
    Connection conn_jz_u{QStringLiteral("conn_jz_u")};

    Query *Query_jz_aa;
    Query *Query_jz_ab;
    Query *Query_jz_a1;
    Query *Query_jz_a2;
    Query *Query_count_shouru;
    Query *Query_count_yishou;
    Query *Query_count_yingshou;
    Query *Query_count_zhichu;
    Query *Query_count_yifu;
    Query *Query_count_yingfu;
    Query *check_data;
    Query *check_f_data;
    Query *Query_jz_ua;
    Query *Query_jz_ub;
    // The current book row, shown by the account-book page.
    Query *Query_zhangben;

    // The six total queries in panel order (b5 .. b10).
    Query *totalQuery(int i) const;

private:
    QString m_dir;
};

// The single instance, set while one exists.
extern TDataModule2 *DataModule2;
