#include "printing/report_progress.h"

#include <QApplication>
#include <QProgressDialog>
#include <algorithm>
#include "printing/report_engine.h"

namespace report {

Progress::Progress(QWidget *parent, int rows, const QString &caption, const QString &label)
{
    if (rows <= ReportComponent::kProgressRows)
        return;
    m_dialog = std::make_unique<QProgressDialog>(parent);
    m_dialog->setObjectName(QStringLiteral("reportProgress"));
    m_dialog->setWindowTitle(caption);
    m_dialog->setCancelButtonText(QStringLiteral("取消"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumWidth(360);
    phase(label, rows);
    m_dialog->show();
}

Progress::~Progress() = default;

void Progress::phase(const QString &label, int maximum)
{
    if (!m_dialog)
        return;
    m_dialog->setLabelText(label);
    m_dialog->setRange(0, std::max(1, maximum));
    m_dialog->setValue(0);
    QApplication::processEvents();
}

bool Progress::step(int value, const QString &label)
{
    if (!m_dialog)
        return true;
    if (!label.isEmpty())
        m_dialog->setLabelText(label);
    m_dialog->setValue(value);   // a modal progress dialog handles its events here
    return !m_dialog->wasCanceled();
}

} // namespace report
