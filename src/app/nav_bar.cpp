#include "app/nav_bar.h"

#include <QToolButton>
#include <QVBoxLayout>

NavBar::NavBar(const QString &objectName, QWidget *parent) : QWidget(parent)
{
    setObjectName(objectName);
    setProperty("skin", QStringLiteral("navBar"));
    setAttribute(Qt::WA_StyledBackground, true);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 1, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

int NavBar::addSection(const QString &caption)
{
    const int s = int(m_sections.size());
    Section sec;
    sec.header = new QToolButton(this);
    sec.header->setObjectName(QStringLiteral("%1Sections%2").arg(objectName()).arg(s));
    sec.header->setProperty("skin", QStringLiteral("navSection"));
    sec.header->setText(caption);
    sec.header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    sec.header->setFixedHeight(24);
    sec.items = new QWidget(this);
    sec.itemsLayout = new QVBoxLayout(sec.items);
    sec.itemsLayout->setContentsMargins(2, 4, 2, 4);
    sec.itemsLayout->setSpacing(2);
    sec.items->hide();
    // Before the closing stretch.
    m_layout->insertWidget(m_layout->count() - 1, sec.header);
    m_layout->insertWidget(m_layout->count() - 1, sec.items);
    connect(sec.header, &QToolButton::clicked, this, [this, s] { openSection(s); });
    m_sections << sec;
    return s;
}

QToolButton *NavBar::addItem(int section, int index, const QString &text, const QIcon &icon)
{
    Section &sec = m_sections[section];
    auto *b = new QToolButton(sec.items);
    b->setObjectName(QStringLiteral("%1Sections%2Items%3").arg(objectName()).arg(section).arg(index));
    b->setProperty("skin", QStringLiteral("navItem"));
    b->setText(text);
    b->setIcon(icon);
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setFixedHeight(60);
    b->setAutoRaise(true);
    sec.itemsLayout->addWidget(b);
    sec.buttons << b;
    return b;
}

QToolButton *NavBar::header(int section) const
{
    return section >= 0 && section < m_sections.size() ? m_sections[section].header : nullptr;
}

QToolButton *NavBar::item(int section, int index) const
{
    if (section < 0 || section >= m_sections.size())
        return nullptr;
    const QString name = QStringLiteral("%1Sections%2Items%3").arg(objectName()).arg(section).arg(index);
    for (QToolButton *b : m_sections[section].buttons)
        if (b->objectName() == name)
            return b;
    return nullptr;
}

void NavBar::openSection(int section)
{
    if (section < 0 || section >= m_sections.size())
        return;
    m_open = section;
    for (int i = 0; i < m_sections.size(); ++i)
        m_sections[i].items->setVisible(i == section);
}
