#include "data/upgrade.h"

#include <QList>
#include <optional>
#include <QRegularExpression>
#include "data/data_folder.h"
#include "data/data_module.h"
#include "data/db_error.h"

namespace Upgrade {
namespace {

struct ColumnType {
    const char *column;
    const char *type;
};

struct TableInfo {
    QStringList names, types, defaults;
    QList<bool> notNull, pk;
};

QString normalized(QString t)
{
    return t.remove(QLatin1Char(' ')).toUpper();
}

QStringList column(Query *carrier, const QString &sql, int col)
{
    carrier->close();
    carrier->setSql(sql);
    carrier->open();
    QStringList out;
    for (int r = 0; r < carrier->rowCount(); ++r)
        out << carrier->value(r, col);
    carrier->close();
    return out;
}

TableInfo tableInfo(Query *carrier, const QString &table)
{
    carrier->close();
    carrier->setSql(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    carrier->open();
    TableInfo info;
    for (int r = 0; r < carrier->rowCount(); ++r) {
        info.names << carrier->value(r, QStringLiteral("name"));
        info.types << carrier->value(r, QStringLiteral("type"));
        info.notNull << (carrier->value(r, QStringLiteral("notnull")) == QLatin1String("1"));
        info.defaults << carrier->value(r, QStringLiteral("dflt_value"));
        info.pk << (carrier->value(r, QStringLiteral("pk")) != QLatin1String("0"));
    }
    carrier->close();
    if (info.names.isEmpty())
        throw DbError(QStringLiteral("no such table: %1").arg(table));
    return info;
}

// SQLite cannot change a column's type in place: build the table anew with the
// wanted types, copy every row with its id, keep the autoincrement counter and the
// indexes, all in one transaction.
void retype(Connection &conn, Query *carrier, const QString &table, const QList<ColumnType> &wanted,
            bool ownTransaction = true)
{
    TableInfo info = tableInfo(carrier, table);
    bool differs = false;
    for (const ColumnType &w : wanted) {
        const int i = info.names.indexOf(QLatin1String(w.column));
        if (i < 0)
            throw DbError(QStringLiteral("no such column: %1.%2").arg(table, QLatin1String(w.column)));
        if (normalized(info.types[i]) != normalized(QLatin1String(w.type))) {
            info.types[i] = QLatin1String(w.type);
            differs = true;
        }
    }
    if (!differs)
        return;

    const QString createSql = column(carrier,
        QStringLiteral("select sql from sqlite_master where type='table' and name='%1'").arg(table), 0).value(0);
    const bool autoincrement = createSql.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
    const QStringList indexSql = column(carrier,
        QStringLiteral("select sql from sqlite_master where type='index' and tbl_name='%1' and sql is not null").arg(table), 0);

    QStringList defs, names;
    for (int i = 0; i < info.names.size(); ++i) {
        QString d = QStringLiteral("\"%1\" %2").arg(info.names[i], info.types[i]);
        if (info.pk[i])
            d += autoincrement ? QStringLiteral(" PRIMARY KEY AUTOINCREMENT") : QStringLiteral(" PRIMARY KEY");
        if (info.notNull[i])
            d += QStringLiteral(" NOT NULL");
        if (!info.defaults[i].isNull())
            d += QStringLiteral(" DEFAULT ") + info.defaults[i];
        defs << d;
        names << QStringLiteral("\"%1\"").arg(info.names[i]);
    }
    const QString tmp = table + QStringLiteral("_retype");
    const QString cols = names.join(QLatin1Char(','));

    std::optional<Connection::Transaction> t;
    if (ownTransaction)
        t.emplace(conn);
    QString seq;
    if (autoincrement)
        seq = column(carrier, QStringLiteral("select seq from sqlite_sequence where name='%1'").arg(table), 0).value(0);
    conn.exec(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(tmp, defs.join(QStringLiteral(", "))));
    conn.exec(QStringLiteral("INSERT INTO \"%1\" (%2) SELECT %2 FROM \"%3\"").arg(tmp, cols, table));
    conn.exec(QStringLiteral("DROP TABLE \"%1\"").arg(table));
    conn.exec(QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"").arg(tmp, table));
    if (autoincrement && !seq.isEmpty()) {
        conn.exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = :n"), {{QStringLiteral(":n"), table}});
        conn.exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (:n, :s)"),
                  {{QStringLiteral(":n"), table}, {QStringLiteral(":s"), seq}});
    }
    for (const QString &sql : indexSql)
        conn.exec(sql);
    if (t)
        t->commit();
}

} // namespace

void run(TDataModule2 &dm)
{
    retype(dm.conn_jz_m, dm.check_data, QStringLiteral("jz_ab"),
           {{"b5", "NVARCHAR (25)"}, {"b6", "NVARCHAR (25)"}, {"b7", "NVARCHAR (25)"},
            {"b8", "NVARCHAR (25)"}, {"b9", "NVARCHAR (25)"}, {"b10", "NVARCHAR (25)"},
            {"b3", "NVARCHAR (160)"}, {"b4", "NVARCHAR (160)"}});
    // Both phrase tables change together or not at all.
    Connection::Transaction t(dm.conn_jz_f);
    retype(dm.conn_jz_f, dm.check_f_data, QStringLiteral("a1"), {{"z1", "NVARCHAR (160)"}}, false);
    retype(dm.conn_jz_f, dm.check_f_data, QStringLiteral("a2"), {{"z1", "NVARCHAR (160)"}}, false);
    t.commit();
}

bool runIfDue(TDataModule2 &dm, const QString &checkIniPath)
{
    if (DataFolder::iniValue(checkIniPath, QStringLiteral("data_set"), QStringLiteral("one")) != QLatin1String("1"))
        return false;
    run(dm);
    // When the marker cannot be rewritten the next start checks the columns again, which then
    // finds nothing left to change.
    DataFolder::setIniValue(checkIniPath, QStringLiteral("data_set"), QStringLiteral("one"), QStringLiteral("0"));
    return true;
}

} // namespace Upgrade
