#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// The three database files, their passwords and their delivered content.
namespace Schema {

struct DataFile {
    QString fileName;
    QByteArray password;
    QStringList tables;   // what a file of ours holds
};

DataFile ledger();    // qel_jz_m.dll: books and entries
DataFile phrases();   // qel_jz_f.dll: phrase history
DataFile details();   // qel_jz_u.dll: detail lines and the settings row
// The three, in the order they are opened and reported.
QList<DataFile> all();

// Tables, indexes and delivered rows of a freshly created file.
void createLedger(Connection &c);
void createPhrases(Connection &c);
void createDetails(Connection &c);

// The default book's name.
QString defaultBookName();

} // namespace Schema
