#include "app/program.h"

#include <QLabel>

#include "app/after_first_paint.h"
#include "app/main_window.h"
#include "books/account_book_page.h"
#include "books/book_text_dialogs.h"
#include "books/new_book_dialog.h"
#include "books/switch_dialog.h"
#include "data/data_module.h"
#include "data/recycle_bin.h"
#include "details/detail_dialog.h"
#include "details/detail_window.h"
#include "help/about_window.h"
#include "help/guide_window.h"
#include "help/web_window.h"
#include "printing/report_printing.h"
#include "recycle/recycle_window.h"
#include "records/entry_dialog.h"
#include "records/menu_item_manager.h"
#include "security/password_window.h"
#include "summaries/statistics_window.h"
#include "summaries/summary_page.h"
#include "ui/backup_prompt.h"
#include "ui/guard.h"

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
    // The key derivations of the three files run on other cores meanwhile.
    TDataModule2::beginOpening(dataDir);
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
    m_newBook = new Tnew_zhangben(dm, w);
    m_switch = new Tqiehuan(dm, w);
    m_editExpense = new Tedit_zhichu(dm, w);
    m_remark = new Tqiehuan_beizhu(dm, w);
    m_rename = new Tqiehuan_cmm(dm, w);
    m_menuManager = new Tlist(dm, w);
    m_detailWindow = new Tmingxi(dm, w);
    m_editDetail = new Tedit_mingxi(dm, w);
    m_newDetail = new Tnew_mingxi(dm, w);
    m_passwordWindow = new Tset_mima(dm, w);
    m_sponsor = new Tqoravi(w);
    m_statistics = new Tzongtongji(dm, w);
    // The report components and their data connection; their dialogs are made on first use.
    m_printing = new ReportPrinting(w);

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
    TFr_zhangben *page = m_main->accountBookPage();
    page->setNewBookHook([this] { m_newBook->exec(); });
    // The header shows the name the page shows, copied afresh before every showing.
    page->setSwitchHook([this, page] {
        m_switch->setCurrentBookName(page->bookName());
        m_switch->exec();
    });
    m_switch->setSmallDialogs(m_rename, m_remark);
    m_main->setPasswordWindow(m_passwordWindow);
    TFr_zhangben *book = m_main->accountBookPage();
    book->setPrintHook([this, book] {
        QStringList totals;
        for (int i = 0; i < 6; ++i)
            totals << book->totalLabel(i)->text();
        m_printing->printBook(book, book->bookName(), totals, m_dm->Query_jz_ab);
    });
    // A summary report prints the page's own rows; the shared entry list stays as it is.
    for (SummaryPage *summary : {static_cast<SummaryPage *>(m_main->incomePage()),
                                 static_cast<SummaryPage *>(m_main->expensePage())}) {
        summary->setPrintHook([this, summary] {
            m_printing->printSummary(summary, m_main->accountBookPage()->bookName(),
                                     summary->kindText(), summary->pageQuery());
        });
    }
    m_main->setStatisticsWindow(m_statistics);
    m_main->setBinWindowMaker([this] { return new Thuishou(m_dm.get(), m_main.get()); });
}

void Program::show()
{
    m_main->show();
    // What the bin has kept too long goes once the window stands.
    Tmain *w = m_main.get();
    TDataModule2 *dm = m_dm.get();
    afterFirstPaint(w, {}, [w, dm] { ui::guard(w, [dm] { RecycleBin::removeOlderThan(*dm); }); });
    ui::startDailyBackup(m_main.get(), m_dm.get(), kDailyBackupDelayMs);
}
