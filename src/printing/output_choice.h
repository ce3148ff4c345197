#pragma once
// The report engine's output choice: one modal dialog captioned "打印" offering the preview,
// the printer, a PDF file, an Excel workbook and a CSV file.
#include <QDialog>

class QLabel;
class QPushButton;
class QHBoxLayout;

namespace report {
enum class Output { Cancel, Preview, Print, Pdf, Excel, Csv };
}

class Tshuchu : public QDialog
{
    Q_OBJECT
public:
    explicit Tshuchu(QWidget *parent = nullptr);

    // Shows the choice for the report so titled; Cancel when the dialog is closed otherwise.
    report::Output choose(const QString &title);

    QPushButton *button(report::Output output) const;

private:
    void pick(report::Output output);

    QLabel *m_title;
    QHBoxLayout *m_buttons;
    QPushButton *m_preview, *m_print, *m_pdf, *m_excel, *m_csv, *m_cancel;
    report::Output m_choice = report::Output::Cancel;
};
