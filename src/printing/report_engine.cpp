#include "printing/report_engine.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <exception>
#include "data/db_error.h"
#include "data/query.h"
#include "printing/csv_export.h"
#include "printing/output_file.h"
#include "printing/report_layout.h"
#include "printing/report_progress.h"
#include "printing/report_project.h"
#include "printing/xlsx_export.h"
#include "ui/message_box.h"

namespace report {
namespace {

bool g_scripted = false;
QList<QPair<Output, QString>> g_answers;
QList<Run> g_runs;

ReportLayout::Params toHash(const QList<QPair<QString, QString>> &params)
{
    ReportLayout::Params out;
    for (const auto &p : params)
        out.insert(p.first, p.second);
    return out;
}

QString titleOf(const ReportProject &project, const QList<QPair<QString, QString>> &params)
{
    return toHash(params).value(project.titleParam);
}

void setUp(QPrinter &printer, const ReportProject &project, const QString &title)
{
    printer.setPageLayout(QPageLayout(QPageSize(project.pageSize), project.orientation, project.marginsMm,
                                      QPageLayout::Millimeter));
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("Tallyrue"));
}

// The one output-choice dialog, kept once made.
Output chooseOutput(QWidget *parent, const QString &title, QString *fileAnswer)
{
    if (g_scripted) {
        if (g_answers.isEmpty())
            return Output::Cancel;
        const auto answer = g_answers.takeFirst();
        *fileAnswer = answer.second;
        return answer.first;
    }
    static QPointer<Tshuchu> dialog;
    QWidget *owner = parent ? parent->window() : nullptr;
    if (!dialog || dialog->parentWidget() != owner) {
        delete dialog;
        dialog = new Tshuchu(owner);
    }
    return dialog->choose(title);
}

struct FileKind {
    const char *caption;
    const char *filter;
    const char *suffix;
};

FileKind fileKind(Output output)
{
    switch (output) {
    case Output::Excel: return {"导出Excel", "Excel 工作簿 (*.xlsx)", "xlsx"};
    case Output::Csv: return {"导出CSV", "CSV 文件 (*.csv)", "csv"};
    default: break;
    }
    return {"导出PDF", "PDF 文件 (*.pdf)", "pdf"};
}

// The file to write, asked with Qt's file dialog; empty when the user cancels.
QString askFile(QWidget *parent, Output output, const QString &title, const QString &scriptedAnswer,
                QString *proposed)
{
    const FileKind kind = fileKind(output);
    *proposed = proposedFile(title, QString::fromLatin1(kind.suffix));
    if (g_scripted)
        return scriptedAnswer;
    QFileDialog dialog(parent, QString::fromUtf8(kind.caption), *proposed, QString::fromUtf8(kind.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromLatin1(kind.suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool renderGuarded(QPrinter *printer, const ReportProject &project, const QList<QPair<QString, QString>> &params,
                   const Query *rows, QWidget *parent, int *pages)
{
    if (pages)
        *pages = 0;
    const QString title = titleOf(project, params);
    const QRectF area = printer->pageLayout().paintRectPixels(printer->resolution());
    ReportLayout layout(project, toHash(params), rows, area.size(), printer->resolution(), printer);
    Progress progress(parent, layout.rowCount(), QStringLiteral("打印"), QStringLiteral("正在排版 \"%1\"…").arg(title));
    if (!layout.paginate([&progress](int done) { return progress.step(done); }))
        return false;

    int from = 0, to = layout.pageCount() - 1;
    if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        from = std::max(0, printer->fromPage() - 1);
        to = std::min(to, printer->toPage() > 0 ? printer->toPage() - 1 : to);
    }
    progress.phase(QString(), to - from + 1);
    QPainter painter;
    if (!painter.begin(printer)) {
        msg::error(parent, QStringLiteral("无法开始打印 \"%1\"。").arg(title));
        return false;
    }
    for (int page = from; page <= to; ++page) {
        if (!progress.step(page - from, QStringLiteral("正在输出第 %1 页 / 共 %2 页").arg(page + 1).arg(layout.pageCount()))) {
            printer->abort();
            painter.end();
            return false;
        }
        if (page > from)
            printer->newPage();
        layout.paintPage(painter, page);
        if (pages)
            *pages = page - from + 1;
    }
    return painter.end();
}

// The PDF writer does not report a failed write (a full disk): the file is whole when its
// trailer ends it and points at its cross-reference table.
bool pdfComplete(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 64)
        return false;
    const qint64 size = f.size();
    f.seek(std::max<qint64>(0, size - 256));
    const QByteArray tail = f.readAll();
    static const QRegularExpression trailer(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$"));
    const auto m = trailer.match(QString::fromLatin1(tail));
    if (!m.hasMatch())
        return false;
    const qint64 xref = m.captured(1).toLongLong();
    if (xref <= 0 || xref >= size || !f.seek(xref))
        return false;
    return f.read(4) == "xref";
}

} // namespace

bool render(QPrinter *printer, const ReportProject &project, const QList<QPair<QString, QString>> &params,
            const Query *rows, QWidget *parent, int *pages)
{
    // Rows are read while pages are painted: a failing read ends the run with its message.
    try {
        return renderGuarded(printer, project, params, rows, parent, pages);
    } catch (const DbError &e) {
        msg::error(parent, e.text());
    } catch (const std::exception &e) {
        msg::error(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

bool writePdf(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
              const Query *rows, QWidget *parent, int *pages)
{
    OutputFile out(file);
    QString message;
    if (!out.create(&message)) {
        msg::error(parent, message);
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out.partPath());
    setUp(printer, project, titleOf(project, params));
    if (!render(&printer, project, params, rows, parent, pages))
        return false;
    if (!pdfComplete(out.partPath())) {
        msg::error(parent, OutputFile::failure(file, QStringLiteral("文件没有完整写入, 磁盘可能已满")));
        return false;
    }
    if (!out.commit(&message)) {
        msg::error(parent, message);
        return false;
    }
    return true;
}

QString proposedFile(const QString &title, const QString &suffix)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString name = title.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.remove(QChar(0));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("报表");
    return folder + QLatin1Char('/') + name + QLatin1Char('.') + suffix;
}

void setScripted(bool on)
{
    g_scripted = on;
    g_answers.clear();
}
bool scripted() { return g_scripted; }
void setNextOutput(Output output, const QString &file) { g_answers.append({output, file}); }
QList<Run> runs() { return g_runs; }
void clearRuns() { g_runs.clear(); }

} // namespace report

ReportData::ReportData(const QString &name, QObject *parent) : QObject(parent) { setObjectName(name); }

ReportComponent::ReportComponent(const QString &name, const QString &projectFile, ReportData *data, QObject *parent)
    : QObject(parent), m_file(projectFile), m_data(data)
{
    setObjectName(name);
}

void ReportComponent::setParam(const QString &name, const QString &value)
{
    for (auto &p : m_params) {
        if (p.first == name) {
            p.second = value;
            return;
        }
    }
    m_params.append({name, value});
}

void ReportComponent::close()
{
    m_params.clear();
    m_book.clear();
}

void ReportComponent::execute(QWidget *parent)
{
    using report::Output;
    const QString path = ReportFiles::locate(m_file);
    if (path.isEmpty()) {
        msg::error(parent, ReportFiles::missingMessage(m_file));
        return;
    }
    ReportProject project;
    QString error;
    if (!ReportProject::load(path, &project, &error)) {
        msg::error(parent, error);
        return;
    }
    const QString dataName = m_data ? m_data->objectName() : QString();
    Query *rows = m_data ? m_data->query() : nullptr;
    if (!rows || (!project.data.isEmpty() && project.data != dataName)) {
        msg::error(parent, QStringLiteral("报表文件 \"%1\" 的数据连接 \"%2\" 不可用。")
                               .arg(QDir::toNativeSeparators(path), project.data));
        return;
    }
    for (const ReportColumn &c : project.columns) {
        if (rows->fieldIndex(c.field) < 0) {
            msg::error(parent, QStringLiteral("报表文件 \"%1\" 的列 \"%2\" 在数据连接 \"%3\" 中不存在。")
                                   .arg(QDir::toNativeSeparators(path), c.field, dataName));
            return;
        }
    }

    const QString title = report::titleOf(project, m_params);
    report::Run run;
    run.component = objectName();
    run.project = path;
    run.params = m_params;
    run.rows = rows->rowCount();
    QString fileAnswer;
    run.output = report::chooseOutput(parent, title, &fileAnswer);

    switch (run.output) {
    case Output::Cancel:
        break;
    case Output::Preview: {
        QPrinter printer(QPrinter::HighResolution);
        report::setUp(printer, project, title);
        QPrintPreviewDialog preview(&printer, parent);
        preview.setWindowTitle(QStringLiteral("打印预览 - ") + title);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *p) {
            run.finished = report::render(p, project, m_params, rows, &preview, &run.pages);
        });
        if (report::g_scripted) {
            // Laid out as the dialog would, never shown.
            if (auto *widget = preview.findChild<QPrintPreviewWidget *>())
                widget->updatePreview();
            break;
        }
        if (QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
            preview.resize(screen->availableSize() * 0.8);
        preview.exec();
        break;
    }
    case Output::Print: {
        if (report::g_scripted)
            break;
        QPrinter printer(QPrinter::HighResolution);
        report::setUp(printer, project, title);
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("打印"));
        if (dialog.exec() == QDialog::Accepted)
            run.finished = report::render(&printer, project, m_params, rows, parent, &run.pages);
        break;
    }
    case Output::Pdf:
    case Output::Excel:
    case Output::Csv: {
        const QString file = report::askFile(parent, run.output, title, fileAnswer, &run.proposed);
        if (file.isEmpty())
            break;
        run.file = file;
        if (run.output == Output::Pdf)
            run.finished = report::writePdf(file, project, m_params, rows, parent, &run.pages);
        else if (run.output == Output::Excel)
            run.finished = report::writeXlsx(file, project, m_params, rows, m_book, parent);
        else
            run.finished = report::writeCsv(file, project, m_params, rows, parent);
        break;
    }
    }
    report::g_runs.append(run);
}
