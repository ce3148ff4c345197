#pragma once
// The whole program put together: the main window, the data module and every other
// window, each created once in the fixed order and wired to the others. main() and the
// tests that drive the program as a whole both build it through this class.
#include <QString>
#include <memory>

class DetailDialog;
class EntryDialog;
class ReportPrinting;
class TDataModule2;
class Tabout;
class Thelp;
class Thezi;
class Tmain;
class Tlist;
class Tmingxi;
class Tqoravi;
class Tnew_zhangben;
class Tqiehuan;
class Tqiehuan_beizhu;
class Tqiehuan_cmm;
class Tset_mima;
class Tzongtongji;

class Program
{
public:
    // Opens (or on a first start creates) the files in dataDir. Throws DbError naming the
    // file when they cannot be used; nothing is shown then.
    explicit Program(const QString &dataDir);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    Tmain *mainWindow() const { return m_main.get(); }
    TDataModule2 *data() const { return m_dm.get(); }

    // Shows the main window, which runs its show sequence, and schedules the
    // start-of-day backup set.
    void show();

    EntryDialog *newIncome() const { return m_newIncome; }
    EntryDialog *newExpense() const { return m_newExpense; }
    EntryDialog *editIncome() const { return m_editIncome; }
    EntryDialog *editExpense() const { return m_editExpense; }
    Tlist *menuManager() const { return m_menuManager; }
    Tmingxi *detailWindow() const { return m_detailWindow; }
    DetailDialog *editDetail() const { return m_editDetail; }
    DetailDialog *newDetail() const { return m_newDetail; }
    Thelp *guide() const { return m_help; }
    Tabout *about() const { return m_about; }
    Thezi *service() const { return m_service; }
    Tqoravi *sponsor() const { return m_sponsor; }
    Tnew_zhangben *newBook() const { return m_newBook; }
    Tqiehuan *switchDialog() const { return m_switch; }
    Tqiehuan_cmm *renameDialog() const { return m_rename; }
    Tqiehuan_beizhu *remarkDialog() const { return m_remark; }
    Tset_mima *passwordWindow() const { return m_passwordWindow; }
    ReportPrinting *printing() const { return m_printing; }
    Tzongtongji *statistics() const { return m_statistics; }

private:
    void wire();

    // Declared first, destroyed last: the windows hold queries of the data module.
    std::unique_ptr<TDataModule2> m_dm;
    std::unique_ptr<Tmain> m_main;

    // Parented to the main window; they live as long as it does.
    EntryDialog *m_newIncome = nullptr;
    EntryDialog *m_newExpense = nullptr;
    EntryDialog *m_editIncome = nullptr;
    EntryDialog *m_editExpense = nullptr;
    Tlist *m_menuManager = nullptr;
    Tmingxi *m_detailWindow = nullptr;
    DetailDialog *m_editDetail = nullptr;
    DetailDialog *m_newDetail = nullptr;
    Thelp *m_help = nullptr;
    Tabout *m_about = nullptr;
    Thezi *m_service = nullptr;
    Tqoravi *m_sponsor = nullptr;
    Tnew_zhangben *m_newBook = nullptr;
    Tqiehuan *m_switch = nullptr;
    Tqiehuan_cmm *m_rename = nullptr;
    Tqiehuan_beizhu *m_remark = nullptr;
    Tset_mima *m_passwordWindow = nullptr;
    ReportPrinting *m_printing = nullptr;
    Tzongtongji *m_statistics = nullptr;
};
