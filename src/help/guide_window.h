#pragma once
// The usage guide: five picture pages leafed through forwards with the button on each
// page, and the check box that decides whether the guide opens at start (iset.ini,
// section pro_set, key run).
#include <QDialog>
#include <QList>

class QCheckBox;
class QFrame;
class QToolButton;

class Thelp : public QDialog
{
    Q_OBJECT
public:
    explicit Thelp(QWidget *parent = nullptr);

    // Page n (1 to 5) is visible and the other four are hidden.
    void showGuidePage(int n);
    // The visible page, 1 to 5.
    int visiblePage() const;

    QFrame *page(int n) const { return m_pages.value(n - 1); }
    QCheckBox *startupBox() const { return m_startup; }   // bsSkinCheckRadioBox1

    static QString settingsFile();

public Q_SLOTS:
    void FormShow();
    void bsSkinLinkImage7Click();    // p1 -> p2
    void bsSkinLinkImage8Click();    // p2 -> p3
    void bsSkinLinkImage9Click();    // p3 -> p4
    void bsSkinLinkImage10Click();   // p4 -> p5
    void bsSkinLinkImage6Click();    // p5: close
    void bsSkinCheckRadioBox1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QToolButton *pageButton(QFrame *page, const QString &name, const QString &picture,
                            const QString &tip, const QRect &geometry);

    QList<QFrame *> m_pages;
    QCheckBox *m_startup;
};
