#include "printing/report_font.h"

#include <QFontDatabase>
#include <QSet>

namespace ReportFont {

bool mapsIdeographsBack(const QRawFont &font)
{
    if (!font.isValid())
        return false;
    auto glyphs = [&font](char32_t from, char32_t to) {
        QString text;
        text.reserve(int(to - from + 1));
        for (char32_t c = from; c <= to; ++c)
            text += QChar(char16_t(c));
        return font.glyphIndexesForString(text);
    };
    QSet<quint32> ideographs;
    for (quint32 g : glyphs(0x4E00, 0x9FFF))
        if (g)
            ideographs.insert(g);
    if (ideographs.isEmpty())
        return false;
    for (quint32 g : glyphs(0x2E80, 0x4DFF))
        if (g && ideographs.contains(g))
            return false;
    return true;
}

QString chineseFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        QStringList candidates{QStringLiteral("Droid Sans Fallback"), QStringLiteral("WenQuanYi Micro Hei"),
                               QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN"),
                               QStringLiteral("AR PL UKai CN")};
        for (const QString &f : QFontDatabase::families(QFontDatabase::SimplifiedChinese))
            if (!candidates.contains(f))
                candidates << f;
        for (const QString &f : candidates) {
            if (!installed.contains(f))
                continue;
            const QRawFont raw = QRawFont::fromFont(QFont(f), QFontDatabase::SimplifiedChinese);
            if (raw.familyName() == f && mapsIdeographsBack(raw))
                return f;
        }
        return QStringLiteral("Noto Sans CJK SC");
    }();
    return family;
}

QFont font(double pointSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), chineseFamily()});
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    // Glyphs are placed as laid out, not snapped to the printer's pixels.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

} // namespace ReportFont
