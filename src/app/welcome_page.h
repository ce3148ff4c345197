#pragma once
// The welcome page: the quick-entry panel when no lock is on, the lock panel when it is,
// and the news view. The login gate chooses between the two panels.
#include <QFrame>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TDataModule2;
class WebView;

class TFr_wel : public QFrame
{
    Q_OBJECT
public:
    explicit TFr_wel(QWidget *parent = nullptr);

    // Binds the hidden settings labels to the settings row.
    void attachData(TDataModule2 *dm);

    // Loads the news view once: the news page when online, else a local notice.
    void loadNews();

    // Lock flag "1": lock panel, navigation disabled; "0": quick-entry panel, enabled;
    // anything else leaves both as they are. Reads the settings row as last loaded.
    void applyGate(QWidget *navigation);

    QGroupBox *quickEntryPanel() const { return m_quick; }   // bsSkinGroupBox2
    QGroupBox *lockPanel() const { return m_lock; }          // bsSkinGroupBox1
    WebView *newsView() const { return m_news; }
    QString lockFlag() const;                                 // bsSkinDBText1 (ub2)
    QString storedPassword() const;                           // bsSkinDBText2 (ub1)

    static QString newsAddress();
    static QString offlinePage();

private:
    QGroupBox *m_quick;
    QGroupBox *m_lock;
    QLineEdit *m_password;
    QPushButton *m_unlock;
    QLabel *m_lockFlag;
    QLabel *m_storedPassword;
    WebView *m_news;
};
