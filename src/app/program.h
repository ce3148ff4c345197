#pragma once
// The whole program put together: the main window, the data module and every other
// window, each created once in the fixed order and wired to the others. main() and the
// tests that drive the program as a whole both build it through this class.
#include <QString>
#include <memory>

class EntryDialog;
class TDataModule2;
class Tmain;
class Tlist;
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

    // Shows the main window, which runs its show sequence.
    void show();

    EntryDialog *newIncome() const { return m_newIncome; }
    EntryDialog *newExpense() const { return m_newExpense; }
    EntryDialog *editIncome() const { return m_editIncome; }
    EntryDialog *editExpense() const { return m_editExpense; }
    Tlist *menuManager() const { return m_menuManager; }
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
    Tzongtongji *m_statistics = nullptr;
};
