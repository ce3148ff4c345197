#include "app/program.h"

#include "app/main_window.h"
#include "books/account_book_page.h"
#include "data/data_module.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "help/about_window.h"
#include "help/guide_window.h"
#include "help/web_window.h"
#include "records/entry_dialog.h"
#include "records/menu_item_manager.h"
#include "ui/backup_prompt.h"

namespace {
// The start-of-day backup set begins once the main window stands and the first
// clicks are served; it then runs in small slices.
constexpr int kDailyBackupDelayMs = 3000;
} // namespace

Program::Program(const QString &dataDir)
{
    // The main window first, then the data module (which opens the files), then every
    // other window once, hidden, in this order: Thelp, Tabout, Thezi, Tnew_shouru,
    // Tnew_zhichu, Tedit_shouru, Tnew_zhangben, Tqiehuan, Tedit_zhichu, Tqiehuan_beizhu,
    // Tqiehuan_cmm, Tlist, Tmingxi, Tedit_mingxi, Tnew_mingxi, Tset_mima, Tqoravi,
    // Tzongtongji. A window not built yet keeps its place in the list.
    m_main = std::make_unique<Tmain>();
    m_dm = std::make_unique<TDataModule2>(dataDir);
    TDataModule2 *dm = m_dm.get();
    Tmain *w = m_main.get();

    m_help = new Thelp(w);
    m_about = new Tabout(w);
    m_service = new Thezi(w);
    m_newIncome = new Tnew_shouru(dm, w);
    m_newExpense = new Tnew_zhichu(dm, w);
    m_editIncome = new Tedit_shouru(dm, w);
    m_editExpense = new Tedit_zhichu(dm, w);
    m_menuManager = new Tlist(dm, w);
    m_detailWindow = new Tmingxi(dm, w);
    m_editDetail = new Tedit_mingxi(dm, w);
    m_newDetail = new Tnew_mingxi(dm, w);
    m_sponsor = new Tqoravi(w);

    wire();
}

Program::~Program()
{
    // Windows go before the data module whose queries they show.
    m_main.reset();
    m_dm.reset();
}

void Program::wire()
{
    const QList<EntryDialog *> entryDialogs{m_newIncome, m_newExpense, m_editIncome, m_editExpense};
    for (EntryDialog *d : entryDialogs)
        d->setMenuManager(m_menuManager);
    m_menuManager->setTargets(entryDialogs);

    m_main->attachData(m_dm.get());
    m_main->setEntryDialogs(m_newIncome, m_newExpense, m_editIncome, m_editExpense);

    m_detailWindow->setDialogs(m_newDetail, m_editDetail);
    Tmingxi *details = m_detailWindow;
    m_main->accountBookPage()->setDetailHook(
        [details](const QString &line, const QString &key, const QString &caption) {
            details->openFor(line, key, caption);
        });
    m_main->setHelpWindow(m_help);
    m_main->setAboutWindow(m_about);
    m_main->setServiceWindow(m_service);
    m_main->setSponsorWindow(m_sponsor);
}

void Program::show()
{
    m_main->show();
    ui::startDailyBackup(m_main.get(), m_dm.get(), kDailyBackupDelayMs);
}
