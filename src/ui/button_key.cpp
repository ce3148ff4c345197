#include "ui/button_key.h"

#include <QAbstractButton>
#include <QShortcut>

namespace ui {

QShortcut *giveKey(QAbstractButton *button, const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, button);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled())
            button->click();
    });
    const QString caption = button->toolTip().isEmpty() ? button->text() : button->toolTip();
    button->setToolTip(QStringLiteral("%1 (%2)").arg(caption.simplified(),
                                                     key.toString(QKeySequence::NativeText)));
    return shortcut;
}

} // namespace ui
