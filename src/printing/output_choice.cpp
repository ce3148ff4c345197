#include "printing/output_choice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tshuchu::Tshuchu(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tshuchu"));
    setWindowTitle(QStringLiteral("打印"));
    setModal(true);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(18, 16, 18, 14);
    page->setSpacing(10);
    auto *prompt = new QLabel(QStringLiteral("请选择报表的输出方式:"), this);
    page->addWidget(prompt);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("reportTitle"));
    m_title->setProperty("skin", QStringLiteral("title"));
    m_title->setTextFormat(Qt::PlainText);
    m_title->setWordWrap(true);
    page->addWidget(m_title);
    page->addSpacing(4);

    m_buttons = new QHBoxLayout;
    m_buttons->setSpacing(8);
    auto add = [this](const char *name, const QString &caption, report::Output output) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumWidth(80);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, output] { pick(output); });
        m_buttons->addWidget(b);
        return b;
    };
    m_preview = add("previewButton", QStringLiteral("预  览"), report::Output::Preview);
    m_print = add("printButton", QStringLiteral("打  印"), report::Output::Print);
    m_pdf = add("pdfButton", QStringLiteral("导出PDF"), report::Output::Pdf);
    m_excel = add("excelButton", QStringLiteral("导出Excel"), report::Output::Excel);
    m_csv = add("csvButton", QStringLiteral("导出CSV"), report::Output::Csv);
    m_cancel = add("cancelButton", QStringLiteral("取  消"), report::Output::Cancel);
    m_preview->setDefault(true);
    page->addLayout(m_buttons);
}

QPushButton *Tshuchu::button(report::Output output) const
{
    switch (output) {
    case report::Output::Preview: return m_preview;
    case report::Output::Print: return m_print;
    case report::Output::Pdf: return m_pdf;
    case report::Output::Excel: return m_excel;
    case report::Output::Csv: return m_csv;
    case report::Output::Cancel: break;
    }
    return m_cancel;
}

report::Output Tshuchu::choose(const QString &title)
{
    m_title->setText(title);
    m_choice = report::Output::Cancel;
    m_preview->setFocus();
    adjustSize();
    exec();
    return m_choice;
}

void Tshuchu::pick(report::Output output)
{
    m_choice = output;
    if (output == report::Output::Cancel)
        reject();
    else
        accept();
}
