#pragma once
// Shows how far a long report or export has come; the user can stop it. Short runs
// (up to ReportComponent::kProgressRows rows) show nothing.
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

namespace report {

class Progress
{
public:
    Progress(QWidget *parent, int rows, const QString &caption, const QString &label);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Starts a new stretch of work with its own label and length.
    void phase(const QString &label, int maximum);
    // False once the user has asked to stop.
    bool step(int value, const QString &label = QString());

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace report
