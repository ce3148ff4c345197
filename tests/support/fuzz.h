#pragma once
// A seeded source of hostile input: quotes, LIKE wildcards and the escape character, markup,
// right-to-left marks, combining and zero-width characters, characters beyond the BMP, lone
// surrogate halves, control characters and line breaks, and texts past every limit.
// The seed is fixed so that every run is the same; TALLYRUE_FUZZ_SEED picks another one, and
// every failure message names the seed and the step, so a failure can be run again.
#include <QString>
#include <QStringList>
#include <random>

namespace fuzz {

inline quint32 seed()
{
    bool ok = false;
    const quint32 chosen = qEnvironmentVariable("TALLYRUE_FUZZ_SEED").toUInt(&ok);
    return ok ? chosen : 20121006u;
}

// One code point (fromUcs4 would take a U+FEFF for a byte-order mark and drop it).
inline QString u(char32_t cp)
{
    if (cp < 0x10000)
        return QString(QChar(char16_t(cp)));
    return QString(QChar(QChar::highSurrogate(cp))) + QChar(QChar::lowSurrogate(cp));
}
inline QString unit(char16_t c) { return QString(QChar(c)); }

class Gen
{
public:
    explicit Gen(quint32 seed) : m_rng(seed) {}

    int below(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T>
    const T &pick(const QList<T> &list) { return list.at(below(int(list.size()))); }

    // One character as a key or an input method delivers it: printable, a pair whole.
    QString key() { return pick(keys()); }

    // A piece of text as a paste may bring it: anything a QString can hold.
    QString piece()
    {
        switch (below(10)) {
        case 0:
            return pick(fragments());
        case 1:
            return pick(controls());
        case 2:
            return pick(halves());
        case 3: {
            // A long run, past every field limit.
            const QString k = key();
            return k.repeated(between(20, 200));
        }
        default:
            return key();
        }
    }

    // A text of pieces, roughly `units` UTF-16 units long.
    QString text(int units)
    {
        QString out;
        while (out.size() < units)
            out += chance(70) ? key() : piece();
        return out;
    }

    // What the field rules are about, one by one.
    static const QStringList &keys()
    {
        static const QStringList list = [] {
            QStringList l;
            for (const char *s : {"a", "A", "z", "Z", "0", "7", "'", "\"", "%", "_", "\\", "[", "]", "^",
                                  "*", "?", "-", ".", ",", ";", "<", ">", "&", "#", "/", "=", " ", "(", ")"})
                l << QString::fromLatin1(s);
            for (char32_t cp : {U'收', U'入', U'支', U'出', U'货', U'款', U'公', U'司', U'账', U'本', U'\u3000',
                                U'\u200F', U'\u200E', U'\u202E', U'\u202C', U'\u061C', U'\u0645', U'\u05E9',
                                U'\u0301', U'\u200D', U'\u200B', U'\uFEFF', U'\uFF05', U'\uFF3F', U'\uFF21',
                                U'\uFF41', U'\u00E4', U'\u00C4', U'\u00DF', U'\u00A0', U'\U0001F600', U'\U00020000',
                                U'\U0001F3FD', U'\uFFFD'})
                l << u(cp);
            return l;
        }();
        return list;
    }
    static const QStringList &fragments()
    {
        static const QStringList list = {
            QStringLiteral("' or '1'='1"), QStringLiteral("%'--"), QStringLiteral("'); drop table jz_ab; --"),
            QStringLiteral("\\%"), QStringLiteral("\\_"), QStringLiteral("\\\\"), QStringLiteral("%%"),
            QStringLiteral("_%_"), QStringLiteral("<b>粗</b>"), QStringLiteral("&amp;"),
            QStringLiteral("<img src=x>"), QStringLiteral("e\u0301"), QStringLiteral("\u05E9\u200F12"),
            QStringLiteral("\U0001F44D\U0001F3FD"), QStringLiteral(" 两头有空格 ")};
        return list;
    }
    static const QStringList &controls()
    {
        static const QStringList list = {
            QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r"), QStringLiteral("\t"),
            QString(QChar(0)), QStringLiteral("\x1b"), u(0x7F), u(0x85), u(0x9F), u(0x2028), u(0x2029),
            u(0xFFFC), u(0xFFFF)};
        return list;
    }
    static const QStringList &halves()
    {
        static const QStringList list = {unit(0xD83D), unit(0xDE00), unit(0xDFFF), unit(0xD800),
                                         unit(0xDE00) + unit(0xD83D)};
        return list;
    }

private:
    std::mt19937 m_rng;
};

} // namespace fuzz
