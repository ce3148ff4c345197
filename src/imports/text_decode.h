#pragma once
#include <QByteArray>
#include <QString>

namespace imports {

// A text file's bytes as text: UTF-8 when it starts with the byte-order mark or is valid
// UTF-8 throughout, else GB18030 (which covers GBK and GB2312).
QString decodeText(const QByteArray &bytes, bool *wasUtf8 = nullptr);

// GB18030 alone (through Qt's converter, or the C library's iconv where Qt has none).
QString decodeGb18030(const QByteArray &bytes);

} // namespace imports
