#include "ui/line_text.h"

#include <QLineEdit>

namespace ui {

namespace {

// Shown as a blank by a line edit.
bool showsAsBlank(QChar c)
{
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator
           || c == QChar::ParagraphSeparator || c == QChar::ObjectReplacementCharacter;
}

// Rewrites text; pos (when given) follows the characters before it.
QString clean(const QString &text, bool dropBlanks, int *pos)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Nothing to do for almost every text: leave it (and its caret) alone.
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (showsAsBlank(c) || c.isSurrogate() || (dropBlanks && c.isSpace()))
            break;
    }
    if (i == n)
        return text;
    QString out = text.left(i);
    out.reserve(n);
    int newPos = pos ? *pos : 0;
    const auto dropped = [&](qsizetype at, int count) {
        if (pos && at < *pos)
            newPos -= std::min<int>(count, int(*pos - at));
    };
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(i + 1));
            i += 2;
            continue;
        }
        if (c.isSurrogate()) {
            dropped(i, 1);
            ++i;
            continue;
        }
        if (showsAsBlank(c)) {
            const int width = (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ? 2 : 1;
            if (dropBlanks) {
                dropped(i, width);
            } else {
                out.append(QLatin1Char(' '));
                dropped(i + 1, width - 1);
            }
            i += width;
            continue;
        }
        if (dropBlanks && c.isSpace()) {
            dropped(i, 1);
            ++i;
            continue;
        }
        out.append(c);
        ++i;
    }
    if (pos)
        *pos = std::clamp<int>(newPos, 0, int(out.size()));
    return out;
}

} // namespace

QString lineText(const QString &text) { return clean(text, false, nullptr); }

QValidator::State LineTextValidator::validate(QString &input, int &pos) const
{
    input = clean(input, m_dropBlanks, &pos);
    return Acceptable;
}

void keepLineText(QLineEdit *edit) { edit->setValidator(new LineTextValidator(edit)); }

} // namespace ui
