#pragma once
// The password settings window: switches the start-up lock on with a new password,
// changes the password, or switches the lock off. Created once and reused; every opening
// reads the settings row afresh and every closing reads it again for the login gate.
#include <QDialog>

class PasswordField;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class Query;
class TDataModule2;

class Tset_mima : public QDialog
{
    Q_OBJECT
public:
    explicit Tset_mima(TDataModule2 *dm, QWidget *parent = nullptr);

public Q_SLOTS:
    void FormShow();                     // on every opening
    void bsSkinCheckRadioBox1Click();    // shows or hides the password fields
    void bsSkinButton1Click();           // "确  定", first-time layout
    void bsSkinButton3Click();           // "确  定", change layout
    void bsSkinButton2Click();           // "取  消"
    void FormClose();                    // however the window closes

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    // The checks of a new password in their order, then the update; a refusal stops.
    void setNewPassword();
    void switchOff();
    void reloadRow();
    void runSet(const QString &sql, const QList<QPair<QString, QString>> &params);

    TDataModule2 *m_dm;
    Query *m_set;                        // Query_set
    QCheckBox *m_enabled;                // bsSkinCheckRadioBox1
    QGroupBox *m_group;                  // bsSkinGroupBox1
    QFrame *m_oldPanel;                  // bsSkinPanel2
    QFrame *m_newPanel;                  // bsSkinPanel1
    PasswordField *m_old;                // bsSkinEdit1
    PasswordField *m_new;                // bsSkinEdit4
    PasswordField *m_repeat;             // bsSkinEdit2
    QPushButton *m_confirmFirst;         // bsSkinButton1
    QPushButton *m_confirmChange;        // bsSkinButton3
    QPushButton *m_cancel;               // bsSkinButton2
    QLabel *m_lockFlag;                  // bsSkinDBText1 (ub2)
    QLabel *m_passwordSet;               // bsSkinDBText2 (ub4)
    QLabel *m_storedPassword;            // bsSkinDBText3 (ub1)
};
