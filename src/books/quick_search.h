#pragma once
// The quick-search strip of the account-book page: narrows the entry list of the current
// book by kind, summary phrase and counterparty phrase. Hidden until the page's "速 查".
#include <QFrame>

class QComboBox;
class QPushButton;
class QToolButton;
class Query;
class TDataModule2;

class QuickSearch : public QFrame
{
    Q_OBJECT
public:
    explicit QuickSearch(QWidget *parent = nullptr);

    // Binds the phrase boxes to the phrase lists; searches run on the data module.
    void attachData(TDataModule2 *dm);

    QComboBox *kindBox() const { return m_kind; }
    QComboBox *summaryBox() const { return m_summary; }
    QComboBox *partyBox() const { return m_party; }

    // The values the search uses (empty text when nothing is chosen).
    QString kindText() const;
    QString summaryText() const;
    QString partyText() const;

    // A contains-pattern that matches the phrase literally (escape character '\').
    static QString containsPattern(const QString &phrase);
    // The fixed search statement; every value is bound.
    static QString searchSql();

public Q_SLOTS:
    void bsSkinButton1Click();        // 速 查
    void bsSkinButton2Click();        // 清 空
    void bsSkinSpeedButton10Click();  // close

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The chosen phrase while its list is reopened.
    struct Kept {
        QString text;
        int row = -1;
        int count = 0;
    };
    void bindPhraseBox(QComboBox *box, Query *phrases, Kept &kept);

    TDataModule2 *m_dm = nullptr;
    QComboBox *m_kind;
    QComboBox *m_summary;
    QComboBox *m_party;
    QPushButton *m_search;
    QPushButton *m_clear;
    QToolButton *m_close;
    Kept m_keptSummary;
    Kept m_keptParty;
};
