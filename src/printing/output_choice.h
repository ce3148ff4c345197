#pragma once
// The report engine's output choice: one modal dialog captioned "打印" offering the preview,
// the printer and a PDF file.
#include <QDialog>

class QLabel;
class QPushButton;
class QHBoxLayout;

namespace report {
enum class Output { Cancel, Preview, Print, Pdf };
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
    QHBoxLayout *m_buttons;   // further outputs go before 取  消
    QPushButton *m_preview, *m_print, *m_pdf, *m_cancel;
    report::Output m_choice = report::Output::Cancel;
};
