#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include "app/main_window.h"
#include "app/single_instance.h"
#include "data/data_folder.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "records/entry_dialog.h"
#include "records/menu_item_manager.h"
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

    Tmain mainWindow;

    std::unique_ptr<TDataModule2> dm;
    try {
        dm = std::make_unique<TDataModule2>(dataDir);
    } catch (const DbError &e) {
        msg::error(nullptr, e.text());
        return 1;
    }

    // Every dialog once, hidden, in the fixed order; they live until the end.
    Tnew_shouru newIncome(dm.get(), &mainWindow);
    Tnew_zhichu newExpense(dm.get(), &mainWindow);
    Tedit_shouru editIncome(dm.get(), &mainWindow);
    Tedit_zhichu editExpense(dm.get(), &mainWindow);
    Tlist menuManager(dm.get(), &mainWindow);

    const QList<EntryDialog *> entryDialogs{&newIncome, &newExpense, &editIncome, &editExpense};
    for (EntryDialog *d : entryDialogs)
        d->setMenuManager(&menuManager);
    menuManager.setTargets(entryDialogs);

    mainWindow.attachData(dm.get());
    mainWindow.setEntryDialogs(&newIncome, &newExpense, &editIncome, &editExpense);
    mainWindow.show();
    return app.exec();
}
