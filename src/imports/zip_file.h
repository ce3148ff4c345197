#pragma once
// A zip archive read from memory with libzip: its members, and a member's bytes, opened
// with a password when the member is encrypted (traditional zip encryption or AES).
#include <QByteArray>
#include <QString>
#include <QStringList>

struct zip;

namespace imports {

class ZipFile
{
public:
    // Throws ImportError when the bytes are no zip archive.
    explicit ZipFile(const QByteArray &bytes);
    ~ZipFile();
    ZipFile(const ZipFile &) = delete;
    ZipFile &operator=(const ZipFile &) = delete;

    static bool looksLikeZip(const QByteArray &head) { return head.startsWith("PK\x03\x04"); }

    int count() const;
    QString name(int i) const;          // decoded as UTF-8 or GB18030
    bool isDirectory(int i) const;
    bool isEncrypted(int i) const;
    // Throws ImportError: no password given for an encrypted member, a wrong one, or damage.
    QByteArray read(int i, const QString &password) const;

private:
    QByteArray m_bytes;
    zip *m_zip = nullptr;
};

} // namespace imports
