#pragma once
// The navigation bar: sections of large picture buttons, one section open at a time.
// A section's header opens it; its items show below the header.
#include <QList>
#include <QWidget>

class QToolButton;
class QVBoxLayout;

class NavBar : public QWidget
{
    Q_OBJECT
public:
    explicit NavBar(const QString &objectName, QWidget *parent = nullptr);

    // Sections and items are named "<bar>Sections<s>" and "<bar>Sections<s>Items<i>".
    int addSection(const QString &caption);
    QToolButton *addItem(int section, int index, const QString &text, const QIcon &icon);

    QToolButton *header(int section) const;
    QToolButton *item(int section, int index) const;

    void openSection(int section);
    int openedSection() const { return m_open; }

private:
    struct Section {
        QToolButton *header;
        QWidget *items;
        QVBoxLayout *itemsLayout;
        QList<QToolButton *> buttons;
    };
    QVBoxLayout *m_layout;
    QList<Section> m_sections;
    int m_open = -1;
};
