#include "printing/report_project.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSizeF>
#include <cmath>

#ifndef TALLYRUE_PRINT_INSTALL_DIR
#define TALLYRUE_PRINT_INSTALL_DIR "/usr/local/share/tallyrue/print"
#endif

namespace {

// The least width and height a page must leave for the report, in millimetres.
constexpr double kMinPrintableMm = 20;

bool number(const QString &text, double min, double max, double *out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    // "nan" and "inf" read as numbers, and nan passes every comparison.
    if (!ok || !std::isfinite(v) || v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool pageSizeNamed(const QString &name, QPageSize::PageSizeId *out)
{
    static const struct {
        const char *name;
        QPageSize::PageSizeId id;
    } sizes[] = {{"A3", QPageSize::A3},         {"A4", QPageSize::A4},         {"A5", QPageSize::A5},
                 {"B5", QPageSize::B5},         {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal}};
    for (const auto &s : sizes) {
        if (name.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0) {
            *out = s.id;
            return true;
        }
    }
    return false;
}

bool alignment(const QString &name, Qt::Alignment *out)
{
    if (name == QLatin1String("left"))
        *out = Qt::AlignLeft;
    else if (name == QLatin1String("center"))
        *out = Qt::AlignHCenter;
    else if (name == QLatin1String("right"))
        *out = Qt::AlignRight;
    else
        return false;
    return true;
}

bool kindNamed(const QString &name, ReportColumn::Kind *out)
{
    if (name == QLatin1String("text"))
        *out = ReportColumn::Kind::Text;
    else if (name == QLatin1String("number"))
        *out = ReportColumn::Kind::Number;
    else if (name == QLatin1String("amount"))
        *out = ReportColumn::Kind::Amount;
    else
        return false;
    return true;
}

QStringList cells(const QString &value)
{
    QStringList out;
    for (const QString &c : value.split(QLatin1Char('|')))
        out << c.trimmed();
    return out;
}

QStringList &folderOverride()
{
    static QStringList folders;
    return folders;
}

} // namespace

bool ReportProject::parse(const QString &text, ReportProject *out, QString *error)
{
    ReportProject p;
    int marginsLine = 0;   // where the margins were set, to be told if they leave no page
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto fail = [&](const QString &what) {
            *error = QStringLiteral("第 %1 行: %2").arg(i + 1).arg(what);
            return false;
        };
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("缺少 \"=\""));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (key == QLatin1String("title")) {
            if (words.size() != 1)
                return fail(QStringLiteral("标题参数应为一个名称"));
            p.titleParam = value;
        } else if (key == QLatin1String("params")) {
            p.params = words;
        } else if (key == QLatin1String("data")) {
            p.data = value;
        } else if (key == QLatin1String("page")) {
            if (words.size() != 2 || !pageSizeNamed(words[0], &p.pageSize)
                || (words[1] != QLatin1String("portrait") && words[1] != QLatin1String("landscape")))
                return fail(QStringLiteral("页面格式应为 \"A4 portrait\" 或 \"A4 landscape\""));
            p.orientation = words[1] == QLatin1String("landscape") ? QPageLayout::Landscape : QPageLayout::Portrait;
        } else if (key == QLatin1String("margins")) {
            double m[4];
            if (words.size() != 4)
                return fail(QStringLiteral("页边距应为四个毫米数: 左 上 右 下"));
            for (int k = 0; k < 4; ++k)
                if (!number(words[k], 0, 100, &m[k]))
                    return fail(QStringLiteral("页边距应为四个毫米数: 左 上 右 下"));
            p.marginsMm = QMarginsF(m[0], m[1], m[2], m[3]);
            marginsLine = i + 1;
        } else if (key == QLatin1String("font")) {
            if (!number(value, 4, 72, &p.fontPt))
                return fail(QStringLiteral("字号应在 4 与 72 之间"));
        } else if (key == QLatin1String("titlefont")) {
            if (!number(value, 4, 72, &p.titleFontPt))
                return fail(QStringLiteral("字号应在 4 与 72 之间"));
        } else if (key == QLatin1String("column")) {
            const QStringList c = cells(value);
            ReportColumn col;
            if ((c.size() != 4 && c.size() != 5) || c[0].isEmpty())
                return fail(QStringLiteral("列应为: 字段 | 标题 | 宽度 | 对齐 [| 类型]"));
            col.field = c[0];
            col.title = c[1];
            if (!number(c[2], 0.01, 1000, &col.width))
                return fail(QStringLiteral("列宽应为正数"));
            if (!alignment(c[3], &col.align))
                return fail(QStringLiteral("对齐应为 left、center 或 right"));
            if (c.size() == 5 && !kindNamed(c[4], &col.kind))
                return fail(QStringLiteral("类型应为 text、number 或 amount"));
            p.columns << col;
        } else if (key == QLatin1String("total")) {
            const QStringList c = cells(value);
            if ((c.size() != 2 && c.size() != 3) || c[0].isEmpty())
                return fail(QStringLiteral("合计项应为: 参数 | 标签 [| 字段]"));
            p.totals << ReportTotal{c[0], c[1], c.value(2)};
        } else if (key == QLatin1String("totalsperline")) {
            double n = 0;
            if (!number(value, 1, 12, &n) || n != int(n))
                return fail(QStringLiteral("每行合计项数应为 1 到 12"));
            p.totalsPerLine = int(n);
        } else {
            return fail(QStringLiteral("未知的项 \"%1\"").arg(key));
        }
    }
    if (p.columns.isEmpty()) {
        *error = QStringLiteral("报表没有列");
        return false;
    }
    // The margins must leave room to print on, whichever line set the page.
    const QSizeF page = QPageSize(p.pageSize).size(QPageSize::Millimeter);
    const QSizeF paper = p.orientation == QPageLayout::Landscape ? page.transposed() : page;
    if (p.marginsMm.left() + p.marginsMm.right() >= paper.width() - kMinPrintableMm
        || p.marginsMm.top() + p.marginsMm.bottom() >= paper.height() - kMinPrintableMm) {
        *error = QStringLiteral("第 %1 行: 页边距太大，纸上没有可打印的地方").arg(marginsLine);
        return false;
    }
    *out = p;
    return true;
}

bool ReportProject::load(const QString &path, ReportProject *out, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取报表文件 \"%1\": %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    QString why;
    if (!parse(QString::fromUtf8(file.readAll()), out, &why)) {
        *error = QStringLiteral("报表文件 \"%1\" 有误, %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    out->path = path;
    return true;
}

namespace ReportFiles {

QStringList folders()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    const QString app = QCoreApplication::applicationDirPath();
    QStringList out{QDir::cleanPath(app + QStringLiteral("/print"))};
    // A relocated installation first, then the prefix the program was built for.
    for (const QString &f : {QDir::cleanPath(app + QStringLiteral("/../share/tallyrue/print")),
                             QDir::cleanPath(QStringLiteral(TALLYRUE_PRINT_INSTALL_DIR))})
        if (!out.contains(f))
            out << f;
    return out;
}

void setFolders(const QStringList &folders) { folderOverride() = folders; }

QString locate(const QString &name)
{
    for (const QString &folder : folders()) {
        const QString path = folder + QLatin1Char('/') + name;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString besideExecutable(const QString &name)
{
    return QDir::toNativeSeparators(folders().value(0) + QLatin1Char('/') + name);
}

QString missingMessage(const QString &name)
{
    return QStringLiteral("The following reporting project does not exist:\n\"%1\"").arg(besideExecutable(name));
}

} // namespace ReportFiles
