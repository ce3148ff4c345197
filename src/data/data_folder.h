#pragma once
#include <QString>

// Where the program keeps its files, and the INI settings read by section and key.
namespace DataFolder {

// The per-user data folder (created when missing).
QString path();
QString file(const QString &name);

// A missing file, section or key reads as empty text. Each call opens the file anew.
QString iniValue(const QString &iniPath, const QString &section, const QString &key);
void setIniValue(const QString &iniPath, const QString &section, const QString &key,
                 const QString &value);

} // namespace DataFolder
