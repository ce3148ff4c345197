#include "imports/text_decode.h"

#include <QStringDecoder>
#include <iconv.h>
#include <cerrno>
#include <vector>

namespace imports {

QString decodeGb18030(const QByteArray &bytes)
{
    // Qt knows GB18030 only when built with ICU.
    QStringDecoder qt("GB18030");
    if (qt.isValid())
        return qt.decode(bytes);
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == iconv_t(-1))
        return QString::fromLocal8Bit(bytes);
    std::vector<char> out(size_t(bytes.size()) * 2 + 16);
    QByteArray utf8;
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    while (inLeft > 0) {
        char *o = out.data();
        size_t oLeft = out.size();
        const size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        utf8.append(out.data(), qsizetype(out.size() - oLeft));
        if (rc == size_t(-1) && errno != E2BIG) {
            utf8.append("\xEF\xBF\xBD");   // an invalid byte: the replacement character
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return QString::fromUtf8(utf8);
}

QString decodeText(const QByteArray &bytes, bool *wasUtf8)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        if (wasUtf8)
            *wasUtf8 = true;
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    const bool ok = !utf8.hasError();
    if (wasUtf8)
        *wasUtf8 = ok;
    return ok ? text : decodeGb18030(bytes);
}

} // namespace imports
