#pragma once
// Reads PDFs back the way a user's viewer would, through poppler's pdftotext and pdfinfo.
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace pdf {

inline QString tool(const QString &name) { return QStandardPaths::findExecutable(name); }

inline QString run(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(tool(name), args);
    if (!p.waitForFinished(120000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of the PDF, or of one page (from 1); layout keeps the lines as printed.
inline QString text(const QString &file, int page = 0, bool layout = true)
{
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return run(QStringLiteral("pdftotext"), args << file << QStringLiteral("-"));
}

inline int pages(const QString &file)
{
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), {file}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// Width and height of the first page in points.
inline QSizeF pageSize(const QString &file)
{
    const auto m = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts"))
                       .match(run(QStringLiteral("pdfinfo"), {file}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The entry numbers in the order the rows stand, read from the lines that begin a row
// (number, then the kind).
inline QStringList bids(const QString &text)
{
    QStringList out;
    static const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+(收入|支出)\\s"));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const auto m = row.match(line);
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

// The text with every blank and line break removed, for texts that wrap.
inline QString squeezed(QString text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.remove(space);
}

} // namespace pdf
