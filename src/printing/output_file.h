#pragma once
// A file the program writes for the user (PDF, Excel, CSV): written beside its target
// under a hidden temporary name and moved over the target only once it is complete, so a
// cancelled or failed run leaves no partial file and an existing file as it was.
#include <QString>

namespace report {

class OutputFile
{
public:
    explicit OutputFile(const QString &target);
    ~OutputFile();   // removes the temporary file unless committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Reserves the temporary file; false with the message when the folder takes no file.
    bool create(QString *message);
    // Where the content goes until it is committed.
    QString partPath() const { return m_part; }
    // Flushes the temporary file to the disk and moves it over the target, which keeps
    // its permissions (a new one gets the mode the user's umask gives); false with the message.
    bool commit(QString *message);

    QString target() const { return m_target; }
    // "无法写入文件 "<file>": <reason>", the message of every failed write.
    static QString failure(const QString &file, const QString &reason);
    // Why a write failed, for the user: the system's error number in words.
    static QString reason(int error);

private:
    QString m_target;
    QString m_part;
    bool m_committed = false;
};

} // namespace report
