#pragma once
// The welcome page: the quick-entry panel when no lock is on, the lock panel when it is,
// around them the banner, the news view and the links to the guide and to customer
// service. The login gate chooses between the two panels.
#include <QFrame>
#include <QPointer>
#include <functional>

class PasswordField;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;
class TDataModule2;
class TFr_zhangben;
class WebView;

class TFr_wel : public QFrame
{
    Q_OBJECT
public:
    explicit TFr_wel(QWidget *parent = nullptr);

    // Binds the hidden settings labels to the settings row.
    void attachData(TDataModule2 *dm);

    // The navigation bar that the gate and the unlocking enable and disable.
    void setNavigation(QWidget *bar) { m_navigation = bar; }
    // The account-book page the quick entries and the unlocking lead to, and the main
    // window's way of showing it (hiding every other page).
    void setAccountBook(TFr_zhangben *page, std::function<void()> show);
    // The windows of the two links, opened once they exist.
    void setGuideHook(std::function<void()> hook) { m_guideHook = std::move(hook); }
    void setServiceHook(std::function<void()> hook) { m_serviceHook = std::move(hook); }

    // Loads the news view once: the news page when online, else a local notice.
    void loadNews();

    // Lock flag "1": lock panel, navigation disabled; "0": quick-entry panel, enabled;
    // anything else leaves both as they are. Reads the settings row as last loaded.
    void applyGate();

    QGroupBox *quickEntryPanel() const { return m_quick; }   // bsSkinGroupBox2
    QGroupBox *lockPanel() const { return m_lock; }          // bsSkinGroupBox1
    PasswordField *passwordField() const { return m_password; }
    WebView *newsView() const { return m_news; }
    QString lockFlag() const;                                 // bsSkinDBText1 (ub2)
    QString storedPassword() const;                           // bsSkinDBText2 (ub1)

    static QString newsAddress();
    static QString offlinePage();
    // Shown when the news page cannot be fetched although the machine is online.
    static QString failedPage();

public Q_SLOTS:
    void Image8Click();            // 账本
    void Image10Click();           // 收入
    void Image9Click();            // 支出
    void Image2Click();            // the maker's logo
    void bsSkinLinkImage2Click();  // guide
    void bsSkinLinkImage3Click();  // customer service
    void bsSkinButton1Click();     // "  解  锁"

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void layOut();
    void showAccountBook();
    void focusPasswordWhenLocked();

    QWidget *m_upper;
    QWidget *m_lower;
    QLabel *m_banner;              // Image3
    QFrame *m_logoPanel;
    QToolButton *m_logo;           // Image2
    QLabel *m_callout;             // Image4
    QLabel *m_notepad;             // Image1
    QGroupBox *m_quick;
    QGroupBox *m_lock;
    PasswordField *m_password;     // Pass_edit
    QPushButton *m_unlock;         // bsSkinButton1
    QToolButton *m_guideLink;      // bsSkinLinkImage2
    QToolButton *m_serviceLink;    // bsSkinLinkImage3
    QGroupBox *m_newsPanel;
    QWidget *m_newsClip;
    WebView *m_news;               // WebBrowser1
    QLabel *m_lockFlag;            // bsSkinDBText1
    QLabel *m_storedPassword;      // bsSkinDBText2

    TDataModule2 *m_dm = nullptr;
    QPointer<QWidget> m_navigation;
    QPointer<TFr_zhangben> m_book;
    std::function<void()> m_showBook, m_guideHook, m_serviceHook;
};
