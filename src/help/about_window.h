#pragma once
// The about window: version, the maker's home page and forum as links, and the donation
// button. Every address goes to the user's browser; the window stays open.
#include <QDialog>

class QLabel;
class QToolButton;

class Tabout : public QDialog
{
    Q_OBJECT
public:
    explicit Tabout(QWidget *parent = nullptr);

    static QString homeAddress();
    static QString forumAddress();
    static QString donationAddress();

public Q_SLOTS:
    void bsSkinLinkLabel1Click();      // 官 网
    void bsSkinLinkLabel2Click();      // 论 坛
    void bsSkinSpeedButton1Click();    // 捐助,为了更好发展

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *linkLabel(QWidget *box, const QString &name, const QString &address, int top);

    QLabel *m_banner;
    QLabel *m_home;     // bsSkinLinkLabel1
    QLabel *m_forum;    // bsSkinLinkLabel2
};
