#include "data/schema.h"

#include <QDateTime>
#include "data/connection.h"

namespace Schema {

DataFile ledger() { return {QStringLiteral("qel_jz_m.dll"), QByteArrayLiteral("5#nf8@vr2&ky"), {QStringLiteral("jz_aa"), QStringLiteral("jz_ab")}}; }
DataFile phrases() { return {QStringLiteral("qel_jz_f.dll"), QByteArrayLiteral("6&dw9@qe%t3#h"), {QStringLiteral("a1"), QStringLiteral("a2")}}; }
DataFile details() { return {QStringLiteral("qel_jz_u.dll"), QByteArrayLiteral("h%e4@9q3#kvmw"), {QStringLiteral("jz_ua"), QStringLiteral("jz_ub")}}; }
QList<DataFile> all() { return {ledger(), phrases(), details()}; }

QString defaultBookName() { return QStringLiteral("默认账本"); }

void createLedger(Connection &c)
{
    Connection::Transaction t(c);
    c.exec(QStringLiteral(
        "CREATE TABLE jz_aa (aid INTEGER PRIMARY KEY AUTOINCREMENT, a1 NVARCHAR(20), a2 TEXT, "
        "a3 NVARCHAR(40), a6 TEXT)"));
    c.exec(QStringLiteral(
        "CREATE TABLE jz_ab (bid INTEGER PRIMARY KEY AUTOINCREMENT, b1 TEXT, b2 TEXT, "
        "b3 NVARCHAR (160) NULL, b4 NVARCHAR (160) NULL, b5 NVARCHAR (25) NULL, b6 NVARCHAR (25) NULL, "
        "b7 NVARCHAR (25) NULL, b8 NVARCHAR (25) NULL, b9 NVARCHAR (25) NULL, b10 NVARCHAR (25) NULL, "
        "b14 TEXT)"));
    c.exec(QStringLiteral("CREATE INDEX jz_ab_b14 ON jz_ab (b14)"));
    // The six totals of a book are read from this index alone, without visiting the rows.
    c.exec(QStringLiteral("CREATE INDEX jz_ab_totals ON jz_ab (b14, b5, b6, b7, b8, b9, b10)"));
    // The entries of one kind in a book, newest first, from this index alone: the kind is
    // tested in the index and the rows are not visited.
    c.exec(QStringLiteral("CREATE INDEX jz_ab_kind ON jz_ab (b14, bid, b1)"));
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QString created = QStringLiteral("%1-%2-%3 %4")
                                .arg(d.year(), 4, 10, QLatin1Char('0'))
                                .arg(d.month(), 2, 10, QLatin1Char(' '))
                                .arg(d.day(), 2, 10, QLatin1Char(' '))
                                .arg(now.time().toString(QStringLiteral("H:mm:ss")));
    c.exec(QStringLiteral("insert into jz_aa (a1,a2,a3,a6)values (:a,:b,:c,:d)"),
           {{QStringLiteral(":a"), defaultBookName()},
            {QStringLiteral(":b"), created},
            {QStringLiteral(":c"), QStringLiteral("系统默认账本")},
            {QStringLiteral(":d"), QStringLiteral("1")}});
    t.commit();
}

void createPhrases(Connection &c)
{
    Connection::Transaction t(c);
    c.exec(QStringLiteral("CREATE TABLE a1 (zid INTEGER PRIMARY KEY AUTOINCREMENT, z1 NVARCHAR (160) NULL)"));
    c.exec(QStringLiteral("CREATE TABLE a2 (zid INTEGER PRIMARY KEY AUTOINCREMENT, z1 NVARCHAR (160) NULL)"));
    t.commit();
}

void createDetails(Connection &c)
{
    Connection::Transaction t(c);
    c.exec(QStringLiteral(
        "CREATE TABLE jz_ua (uaid INTEGER PRIMARY KEY AUTOINCREMENT, ua1 NVARCHAR(20), ua2 TEXT, "
        "ua3 NVARCHAR(160), ua4 NVARCHAR(160), ua5 NVARCHAR(15), ua6 TEXT)"));
    c.exec(QStringLiteral("CREATE INDEX jz_ua_ua6 ON jz_ua (ua6)"));
    c.exec(QStringLiteral(
        "CREATE TABLE jz_ub (ubid INTEGER PRIMARY KEY AUTOINCREMENT, ub1 NVARCHAR(10), ub2 TEXT, "
        "ub3 TEXT, ub4 TEXT, ub5 TEXT)"));
    c.exec(QStringLiteral("insert into jz_ub (ub1,ub2,ub3,ub4,ub5) values (:a,:b,:c,:d,:e)"),
           {{QStringLiteral(":a"), QStringLiteral("")},
            {QStringLiteral(":b"), QStringLiteral("0")},
            {QStringLiteral(":c"), QStringLiteral("8")},
            {QStringLiteral(":d"), QStringLiteral("0")},
            {QStringLiteral(":e"), QStringLiteral("0")}});
    t.commit();
}

} // namespace Schema
