#pragma once
#include <QString>

// Where the program keeps its files, and the INI settings read by section and key.
namespace DataFolder {

// The per-user data folder (not created here: see prepare).
QString path();
QString file(const QString &name);

// Empty when the data folder's name is valid in the file-name encoding, else the message
// that refuses it, naming the folder as its bytes read.
QString nameProblem();

// Makes sure dir is a folder the program can use, creating it (and its parents) when
// missing. Returns empty text when it is usable, else the message for the user, naming
// the folder and what is wrong with it.
QString prepare(const QString &dir);

// A missing file, section or key reads as empty text. Each call opens the file anew.
QString iniValue(const QString &iniPath, const QString &section, const QString &key);
// Writes one key, keeping every other line of the file; false when the file could not be
// written (it is then left as it was).
bool setIniValue(const QString &iniPath, const QString &section, const QString &key,
                 const QString &value);

} // namespace DataFolder
