#include "ui/form_labels.h"

#include <QColor>
#include <QLabel>
#include <QPalette>

namespace ui {

QLabel *requiredStar(QWidget *parent, int x, int y, int height)
{
    auto *star = new QLabel(QStringLiteral("*"), parent);
    star->setProperty("skin", QStringLiteral("required"));
    // Red even where the style sheet does not reach (a dialog shown before the skin).
    QPalette p = star->palette();
    p.setColor(QPalette::WindowText, QColor(0xE0, 0x10, 0x10));
    star->setPalette(p);
    star->setGeometry(x, y, 8, height);
    star->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return star;
}

QLabel *fieldLabel(QWidget *parent, const QString &text, int x, int y, int width, int height)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(x, y, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace ui
