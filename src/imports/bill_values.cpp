#include "imports/bill_values.h"

#include <QDate>

namespace imports {

namespace {

bool isPad(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0x00A0) || c == QChar(0x3000) || c == u'\r' || c == u'\n'
        || c == QChar(0xFEFF);
}

} // namespace

QString bare(const QString &text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isPad(text[b]))
        ++b;
    while (e > b && isPad(text[e - 1]))
        --e;
    return (b == 0 && e == text.size()) ? text : text.mid(b, e - b);
}

std::optional<qint64> parseAmount(const QString &text)
{
    QString t;
    t.reserve(text.size());
    for (QChar c : text) {
        if (isPad(c) || c == u',' || c == QChar(0x00A5) || c == QChar(0xFFE5) || c == QChar(0x5143) /* 元 */
            || c == QChar(0xFF0C))
            continue;
        t += c;
    }
    bool negative = false;
    if (t.startsWith(u'(') && t.endsWith(u')')) {
        negative = true;
        t = t.mid(1, t.size() - 2);
    }
    if (t.startsWith(u'-') || t.startsWith(QChar(0x2212))) {
        negative = !negative;
        t.remove(0, 1);
    } else if (t.startsWith(u'+')) {
        t.remove(0, 1);
    }
    const qsizetype dot = t.indexOf(u'.');
    const QString whole = dot < 0 ? t : t.left(dot);
    QString frac = dot < 0 ? QString() : t.mid(dot + 1);
    if (whole.isEmpty() || whole.size() > 15 || (dot >= 0 && frac.isEmpty()))
        return std::nullopt;
    for (QChar c : whole + frac)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    while (frac.size() > 2 && frac.endsWith(u'0'))
        frac.chop(1);
    if (frac.size() > 2)
        return std::nullopt;
    while (frac.size() < 2)
        frac += u'0';
    const qint64 cents = whole.toLongLong() * 100 + frac.toLongLong();
    return negative ? -cents : cents;
}

QString amountText(qint64 cents)
{
    const bool neg = cents < 0;
    const quint64 a = neg ? quint64(-cents) : quint64(cents);
    return QStringLiteral("%1%2.%3").arg(neg ? QStringLiteral("-") : QString()).arg(a / 100).arg(a % 100, 2, 10, QLatin1Char('0'));
}

QString ledgerDate(const QString &text)
{
    const QString t = bare(text);
    int parts[3] = {0, 0, 0};
    int part = 0;
    int digits = 0;
    qsizetype i = 0;
    // yyyyMMdd
    if (t.size() >= 8 && (t.size() == 8 || isPad(t[8]))) {
        bool all = true;
        for (int k = 0; k < 8; ++k)
            all = all && t[k] >= u'0' && t[k] <= u'9';
        if (all) {
            parts[0] = t.left(4).toInt();
            parts[1] = t.mid(4, 2).toInt();
            parts[2] = t.mid(6, 2).toInt();
            part = 3;
            i = t.size();
        }
    }
    for (; i < t.size() && part < 3; ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            if (++digits > (part == 0 ? 4 : 2))
                return QString();
            parts[part] = parts[part] * 10 + (c.unicode() - u'0');
        } else if (c == u' ' && digits == 0 && part > 0) {
            // the blank that pads a one-digit month or day
        } else if (part < 2 && (c == u'-' || c == u'/' || c == u'.' || c == QChar(0x5E74) || c == QChar(0x6708))) {
            if (digits == 0 || (part == 0 && digits != 4))
                return QString();
            ++part;
            digits = 0;
        } else if (part == 2 && digits > 0) {
            part = 3;   // the time or 日 follows
            break;
        } else {
            return QString();
        }
    }
    if (part == 2 && digits > 0)
        part = 3;
    if (part != 3)
        return QString();
    const QDate d(parts[0], parts[1], parts[2]);
    if (!d.isValid() || parts[0] < 1000)
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char(' '))
        .arg(d.day(), 2, 10, QLatin1Char(' '));
}

QString entryText(const QString &text, bool *cut, bool verbatim)
{
    QString t = text;
    if (!verbatim) {
        for (QChar &c : t) {
            const char16_t u = c.unicode();
            if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
                c = u' ';
        }
        t = bare(t);
    }
    if (cut)
        *cut = false;
    if (t.size() > kTextLimit) {
        qsizetype n = kTextLimit;
        if (t[n - 1].isHighSurrogate())
            --n;
        t.truncate(n);
        if (cut)
            *cut = true;
    }
    return t;
}

} // namespace imports
