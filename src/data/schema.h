#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

class Connection;

// The three database files, their passwords and their delivered content.
namespace Schema {

struct FileSpec {
    QString fileName;
    QByteArray password;
    QStringList tables;   // what a file of ours holds
};

FileSpec ledger();    // qel_jz_m.dll: books and entries
FileSpec phrases();   // qel_jz_f.dll: phrase history
FileSpec details();   // qel_jz_u.dll: detail lines and the settings row

// Tables, indexes and delivered rows of a freshly created file.
void createLedger(Connection &c);
void createPhrases(Connection &c);
void createDetails(Connection &c);

// The default book's name.
QString defaultBookName();

} // namespace Schema
