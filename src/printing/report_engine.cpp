#include "printing/report_engine.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>
#include <exception>
#include "data/db_error.h"
#include "data/query.h"
#include "printing/report_layout.h"
#include "printing/report_project.h"
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
Output chooseOutput(QWidget *parent, const QString &title, QString *pdfAnswer)
{
    if (g_scripted) {
        if (g_answers.isEmpty())
            return Output::Cancel;
        const auto answer = g_answers.takeFirst();
        *pdfAnswer = answer.second;
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

QString askPdfFile(QWidget *parent, const QString &title, const QString &scriptedAnswer)
{
    if (g_scripted)
        return scriptedAnswer;
    QFileDialog dialog(parent, QStringLiteral("导出PDF"), proposedPdfFile(title),
                       QStringLiteral("PDF 文件 (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

// Shows how far a long report has come; the user can stop it.
class Progress
{
public:
    Progress(QWidget *parent, int rows, const QString &title)
    {
        if (rows <= ReportComponent::kProgressRows)
            return;
        m_dialog = std::make_unique<QProgressDialog>(parent);
        m_dialog->setObjectName(QStringLiteral("reportProgress"));
        m_dialog->setWindowTitle(QStringLiteral("打印"));
        m_dialog->setCancelButtonText(QStringLiteral("取消"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumWidth(360);
        m_title = title;
        phase(QStringLiteral("正在排版 \"%1\"…").arg(title), rows);
        m_dialog->show();
    }
    void phase(const QString &label, int maximum)
    {
        if (!m_dialog)
            return;
        m_dialog->setLabelText(label);
        m_dialog->setRange(0, std::max(1, maximum));
        m_dialog->setValue(0);
        QApplication::processEvents();
    }
    // False once the user has asked to stop.
    bool step(int value, const QString &label = QString())
    {
        if (!m_dialog)
            return true;
        if (!label.isEmpty())
            m_dialog->setLabelText(label);
        m_dialog->setValue(value);   // a modal progress dialog handles its events here
        return !m_dialog->wasCanceled();
    }
    QString title() const { return m_title; }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    QString m_title;
};

bool renderGuarded(QPrinter *printer, const ReportProject &project, const QList<QPair<QString, QString>> &params,
                   const Query *rows, QWidget *parent, int *pages)
{
    if (pages)
        *pages = 0;
    const QString title = titleOf(project, params);
    const QRectF area = printer->pageLayout().paintRectPixels(printer->resolution());
    ReportLayout layout(project, toHash(params), rows, area.size(), printer->resolution(), printer);
    Progress progress(parent, layout.rowCount(), title);
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
    const QFileInfo target(file);
    // Written beside the target under another name, then moved over it: a cancelled or
    // failed export leaves an existing file as it was.
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!part.open()) {
        msg::error(parent, QStringLiteral("无法写入文件 \"%1\": %2").arg(QDir::toNativeSeparators(file), part.errorString()));
        return false;
    }
    part.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(part.fileName());
    setUp(printer, project, titleOf(project, params));
    if (!render(&printer, project, params, rows, parent, pages))
        return false;
    const QFile::Permissions keep = target.exists()
        ? target.permissions()
        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(file).constData()) != 0) {
        msg::error(parent, QStringLiteral("无法写入文件 \"%1\"。").arg(QDir::toNativeSeparators(file)));
        return false;
    }
    QFile::setPermissions(file, keep);
    return true;
}

QString proposedPdfFile(const QString &title)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString name = title.trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.remove(QChar(0));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("报表");
    return folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
}

void setScripted(bool on)
{
    g_scripted = on;
    g_answers.clear();
}
bool scripted() { return g_scripted; }
void setNextOutput(Output output, const QString &pdfFile) { g_answers.append({output, pdfFile}); }
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

void ReportComponent::close() { m_params.clear(); }

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
    QString pdfAnswer;
    run.output = report::chooseOutput(parent, title, &pdfAnswer);

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
    case Output::Pdf: {
        const QString file = report::askPdfFile(parent, title, pdfAnswer);
        if (file.isEmpty())
            break;
        run.file = file;
        run.finished = report::writePdf(file, project, m_params, rows, parent, &run.pages);
        break;
    }
    }
    report::g_runs.append(run);
}
