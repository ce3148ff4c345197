#pragma once
// The report engine: a report component runs its project file against the rows of a report
// data connection and takes the user through the output choice, the preview, the printer,
// a PDF file or a spreadsheet export. Calling order for every print: set the parameters,
// execute, close.
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include "data/query.h"
#include "printing/output_choice.h"

class QPrinter;
class QWidget;
struct ReportProject;

// The report data connection: exposes one query's rows, in its current order, to reports.
class ReportData : public QObject
{
    Q_OBJECT
public:
    explicit ReportData(const QString &name, QObject *parent = nullptr);
    void setQuery(Query *query) { m_query = query; }
    Query *query() const { return m_query; }

private:
    QPointer<Query> m_query;
};

class ReportComponent : public QObject
{
    Q_OBJECT
public:
    // projectFile: the file's name within print/ ("ab.rav").
    ReportComponent(const QString &name, const QString &projectFile, ReportData *data, QObject *parent = nullptr);

    QString projectFile() const { return m_file; }
    ReportData *data() const { return m_data; }

    // Makes the value available to the report under that name for the next run.
    void setParam(const QString &name, const QString &value);
    QList<QPair<QString, QString>> params() const { return m_params; }
    // The book the report is of: a spreadsheet export names its sheet after it. No
    // parameter of the report.
    void setBookName(const QString &name) { m_book = name; }
    QString bookName() const { return m_book; }

    // Opens the project file, runs it against the data connection's rows and takes the user
    // through the output choice; returns when the user is done. A missing or broken project
    // file is refused with the engine's message.
    void execute(QWidget *parent);
    // Closes the project: the parameters and the book name are forgotten.
    void close();

    // Reports longer than this show a progress dialog that can cancel.
    static constexpr int kProgressRows = 300;

private:
    QString m_file;
    QPointer<ReportData> m_data;
    QList<QPair<QString, QString>> m_params;
    QString m_book;
};

namespace report {

// Renders a report on a printer (or PDF printer, or preview printer) page by page. Returns
// false when the user cancelled or it failed (after saying why).
bool render(QPrinter *printer, const ReportProject &project, const QList<QPair<QString, QString>> &params,
            const Query *rows, QWidget *parent, int *pages = nullptr);

// Writes a report to a PDF file; an existing file is replaced only when the new one is
// complete. Returns false when cancelled or failed.
bool writePdf(const QString &file, const ReportProject &project, const QList<QPair<QString, QString>> &params,
              const Query *rows, QWidget *parent, int *pages = nullptr);

// The file proposed for an output of the report: "<title>.<suffix>" in the documents
// folder.
QString proposedFile(const QString &title, const QString &suffix);
inline QString proposedPdfFile(const QString &title) { return proposedFile(title, QStringLiteral("pdf")); }

// --- scripted mode for tests: no dialog is shown, no printer is touched ---
// The output choice and the file dialog of a PDF or spreadsheet export are answered from a
// queue (Cancel when it is empty; an empty file cancels the file dialog); a scripted
// preview lays the report out in a preview that is never shown; a scripted printer run is
// only recorded.
void setScripted(bool on);
bool scripted();
void setNextOutput(Output output, const QString &file = QString());

struct Run {
    QString component;
    QString project;                          // the project file's full path
    QList<QPair<QString, QString>> params;    // in the order they were set
    int rows = 0;
    Output output = Output::Cancel;
    QString file;                             // the file chosen for a PDF or an export
    QString proposed;                         // the file the file dialog proposed
    int pages = 0;                            // pages laid out
    bool finished = false;                    // rendered to the end
};
QList<Run> runs();
void clearRuns();

} // namespace report
