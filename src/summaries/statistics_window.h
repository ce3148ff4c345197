#pragma once
// The statistics window: how many account books there are and the six amount totals over
// every entry of every book. Read-only; the figures are computed afresh on every show.
#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QPushButton;
class Tchart;
class Query;
class TDataModule2;

class Tzongtongji : public QDialog
{
    Q_OBJECT
public:
    explicit Tzongtongji(TDataModule2 *dm, QWidget *parent = nullptr);

    // The seven queries in their order: the book count, then the sums of b5 .. b10.
    Query *query(int i) const { return m_queries.value(i); }
    // The display field of each query, in the same order.
    QLabel *valueLabel(int i) const { return m_values.value(i); }

    // A decimal sum as the window shows it: at least two decimals, every digit kept;
    // empty stays empty, and text that is no plain decimal is shown as it came.
    static QString twoDecimals(const QString &sum);

    void FormShow();

    // "图 表" below the six rows opens the chart window, made on its first use.
    QPushButton *chartButton() const { return m_chartButton; }
    Tchart *chartWindow() const { return m_chart; }
    void chartButtonClick();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    TDataModule2 *m_dm;
    QList<Query *> m_queries;
    QList<QLabel *> m_values;
    QPixmap m_background;
    QPushButton *m_chartButton;
    Tchart *m_chart = nullptr;
};
