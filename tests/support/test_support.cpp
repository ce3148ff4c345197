#include "test_support.h"

#include <QDir>
#include <QStandardPaths>

namespace testsupport {

DataFolder::DataFolder() : m_tmp(std::make_unique<QTemporaryDir>())
{
    const QString root = m_tmp->path();
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/share")).toUtf8());
    m_dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(m_dataDir);
}

} // namespace testsupport
