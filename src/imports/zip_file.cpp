#include "imports/zip_file.h"

#include <zip.h>
#include "imports/import_error.h"
#include "imports/text_decode.h"

namespace imports {

namespace {

QString needsPassword() { return QStringLiteral("这个压缩文件有密码保护，请在“密码”框中输入收到的解压密码，再点“读  取”。"); }
QString wrongPassword() { return QStringLiteral("解压密码不对，无法打开压缩文件。请核对后重新输入。"); }

} // namespace

ZipFile::ZipFile(const QByteArray &bytes) : m_bytes(bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *src = zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &error);
    if (src)
        m_zip = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_zip) {
        if (src)
            zip_source_free(src);
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        throw ImportError(QStringLiteral("压缩文件已损坏，无法打开（%1）。").arg(why));
    }
    zip_error_fini(&error);
}

ZipFile::~ZipFile()
{
    if (m_zip)
        zip_discard(m_zip);
}

int ZipFile::count() const { return int(zip_get_num_entries(m_zip, 0)); }

QString ZipFile::name(int i) const
{
    const char *raw = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_RAW);
    return raw ? decodeText(QByteArray(raw)) : QString();
}

bool ZipFile::isDirectory(int i) const { return name(i).endsWith(QLatin1Char('/')); }

bool ZipFile::isEncrypted(int i) const
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0)
        return false;
    return (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
}

QByteArray ZipFile::read(int i, const QString &password) const
{
    const bool encrypted = isEncrypted(i);
    if (encrypted && password.isEmpty())
        throw ImportError(needsPassword(), ImportError::Kind::NeedsPassword);
    if (encrypted) {
        zip_stat_t st;
        zip_stat_init(&st);
        zip_stat_index(m_zip, zip_uint64_t(i), 0, &st);
        if (!zip_encryption_method_supported(st.encryption_method, 0))
            throw ImportError(QStringLiteral("这个压缩文件的加密方式无法解开。"));
    }
    // The mails' passwords are digits; a typed password goes in as UTF-8.
    const QByteArray pw = password.toUtf8();
    zip_file_t *f = encrypted ? zip_fopen_index_encrypted(m_zip, zip_uint64_t(i), 0, pw.constData())
                              : zip_fopen_index(m_zip, zip_uint64_t(i), 0);
    auto fail = [&](int code) -> QByteArray {
        if (code == ZIP_ER_WRONGPASSWD || (encrypted && (code == ZIP_ER_CRC || code == ZIP_ER_ZLIB)))
            throw ImportError(wrongPassword(), ImportError::Kind::WrongPassword);
        if (code == ZIP_ER_NOPASSWD)
            throw ImportError(needsPassword(), ImportError::Kind::NeedsPassword);
        throw ImportError(QStringLiteral("压缩文件已损坏，无法读出其中的文件（%1）。")
                              .arg(QString::fromUtf8(zip_error_strerror(zip_get_error(m_zip)))));
    };
    if (!f)
        return fail(zip_error_code_zip(zip_get_error(m_zip)));
    QByteArray out;
    char buf[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(f, buf, sizeof buf);
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(f));
            zip_fclose(f);
            return fail(code);
        }
        if (n == 0)
            break;
        out.append(buf, qsizetype(n));
        if (out.size() > (qsizetype(1) << 30))
            throw ImportError(QStringLiteral("压缩文件中的文件太大，无法读取。"));
    }
    const int rc = zip_fclose(f);
    if (rc != 0)
        return fail(rc);
    return out;
}

} // namespace imports
