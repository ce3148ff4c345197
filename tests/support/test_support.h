#pragma once
// Shared by the test binaries: a private data folder per test and scripted message boxes.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QString>
#include <memory>

namespace testsupport {

// Points HOME and XDG_DATA_HOME at a fresh temporary folder and returns the
// program's data folder inside it (created). Keep the returned object alive.
class DataFolder
{
public:
    DataFolder();
    QString path() const { return m_dataDir; }
    QString file(const QString &name) const { return m_dataDir + QLatin1Char('/') + name; }

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_dataDir;
};

// The application name the data folder is derived from.
inline void initCoreApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Tallyrue"));
    QCoreApplication::setOrganizationName(QString());
}

} // namespace testsupport

#ifdef TALLYRUE_TESTS_WITH_UI
#include "ui/message_box.h"
namespace testsupport {
// Application name and scripted message boxes; call in initTestCase.
inline void initApplication()
{
    initCoreApplication();
    msg::setScripted(true);
}
} // namespace testsupport
#endif
