#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include "app/program.h"
#include "app/single_instance.h"
#include "data/data_folder.h"
#include "data/db_error.h"
#include "ui/message_box.h"
#include "ui/skin.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyrue"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tallyrue"));

    // A second copy ends here: nothing shown, no file opened.
    const QString dataDir = DataFolder::path();
    SingleInstance instance(dataDir);
    if (!instance.acquired())
        return 0;

    // Standard buttons and dialogs in Chinese.
    QTranslator qtbase;
    if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    Skin::apply(app);

    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(dataDir);
    } catch (const DbError &e) {
        msg::error(nullptr, e.text());
        return 1;
    }
    program->show();
    return app.exec();
}
