#pragma once
// The main window: navigation bar on the left, status bar at the bottom, one page at a
// time in between. The one place that knows every page.
#include <QDialog>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class EntryDialog;
class NavBar;
class QFrame;
class QLabel;
class QTimer;
class QToolButton;
class TDataModule2;
class TFr_shouru;
class TFr_wel;
class TFr_zhangben;
class TFr_zhichu;
class Tdaoru;
class Twanglai;

class Tmain : public QMainWindow
{
    Q_OBJECT
public:
    explicit Tmain(QWidget *parent = nullptr);   // FormCreate

    void attachData(TDataModule2 *dm);
    void setEntryDialogs(EntryDialog *newIncome, EntryDialog *newExpense, EntryDialog *editIncome,
                         EntryDialog *editExpense);

    // Windows opened from the bar and the status bar; any may stay empty.
    void setHelpWindow(QDialog *w) { m_help = w; }
    void setAboutWindow(QDialog *w) { m_about = w; }
    void setServiceWindow(QDialog *w) { m_service = w; }
    void setSponsorWindow(QDialog *w) { m_sponsor = w; }
    void setStatisticsWindow(QDialog *w) { m_statistics = w; }
    void setPasswordWindow(QDialog *w) { m_password = w; }
    // The bin window, made on first use.
    void setBinWindowMaker(std::function<QDialog *()> make) { m_makeBin = std::move(make); }

    // Makes the page visible and hides the others.
    void showPage(QWidget *page);
    QWidget *currentPage() const;

    // The login gate from the settings row as last loaded.
    void applyLoginGate();

    TFr_wel *welcomePage() const { return m_wel; }
    TFr_zhangben *accountBookPage() const { return m_zhangben; }
    TFr_shouru *incomePage() const { return m_shouru; }
    TFr_zhichu *expensePage() const { return m_zhichu; }
    NavBar *navigationBar() const { return m_nav; }
    // The counterparty window, made when its item is first clicked.
    Twanglai *counterpartyWindow() const { return m_wanglai; }
    QList<QWidget *> pages() const { return m_pages; }

    // True once the show sequence has run (it runs on the first show only).
    bool showSequenceDone() const { return m_shown; }

    static QString donationAddress();
    static QString homeAddress();

public Q_SLOTS:
    void FormShow();
    // After the first paint: the book's rows into memory, where searches and sorts read them.
    void holdBookInMemory();
    void bsSkinButtonsBar1Sections0Items2Click();  // 账 本
    void bsSkinButtonsBar1Sections0Items0Click();  // 收入汇总
    void bsSkinButtonsBar1Sections0Items1Click();  // 支出汇总
    void bsSkinButtonsBar1Sections0Items4Click();  // 汇总统计
    void bsSkinButtonsBar1Sections1Items0Click();  // 设置密码
    void bsSkinButtonsBar1Sections1Items1Click();  // 帮 助
    void bsSkinButtonsBar1Sections1Items2Click();  // 捐 助
    void bsSkinButtonsBar1Sections1Items3Click();  // 关 于
    void bsSkinButtonsBar1Sections2Items0Click();  // 导入账单
    void bsSkinButtonsBar1Sections2Items1Click();  // 往来对账
    void bsSkinButtonsBar1Sections2Items2Click();  // 回收站
    void bsSkinSpeedButton3Click();                // lock
    void bsSkinSpeedButton1Click();                // customer service
    void bsSkinLinkImage3Click();                  // sponsor
    void bsSkinLinkImage2Click();                  // web address
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void execWindow(QDialog *w);
    QToolButton *statusButton(const QString &name, const QString &picture, const QSize &size);

    TDataModule2 *m_dm = nullptr;
    NavBar *m_nav;
    TFr_wel *m_wel;
    TFr_zhangben *m_zhangben;
    TFr_shouru *m_shouru;
    TFr_zhichu *m_zhichu;
    QList<QWidget *> m_pages;
    QFrame *m_status;
    QLabel *m_healthCheck;     // bsSkinLinkImage1
    QLabel *m_bookFlag;        // bsSkinStdLabel1
    QLabel *m_guideSetting;    // bsSkinStdLabel2
    QPointer<QTimer> m_timer1;
    QPointer<QDialog> m_help, m_about, m_service, m_sponsor, m_statistics, m_password;
    QPointer<Tdaoru> m_import;
    Twanglai *m_wanglai = nullptr;
    std::function<QDialog *()> m_makeBin;
    QPointer<QDialog> m_bin;
    bool m_shown = false;
    bool m_showQueued = false;
};
