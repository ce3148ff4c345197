#include "ui/skin.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>
#include <QSvgRenderer>

// Resources of a static library must be registered by hand, from the global namespace.
static void registerSkinResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(tallyrue);
        return true;
    }();
    Q_UNUSED(once);
}

namespace Skin {
namespace {

QString picturePath(const QString &name)
{
    return QStringLiteral(":/pictures/") + name + QStringLiteral(".svg");
}

QPalette lightBluePalette(QPalette palette)
{
    const QColor window(0xE3, 0xEE, 0xFD);
    const QColor text(0x1B, 0x3A, 0x5C);
    const QColor highlight(0x3A, 0x7B, 0xD5);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF3, 0xF8, 0xFF));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0xDD, 0xE9, 0xFA));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFD, 0xE8));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Link, QColor(0x1A, 0x5F, 0xC8));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8A, 0x9A, 0xB0));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8A, 0x9A, 0xB0));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8A, 0x9A, 0xB0));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8A, 0x9A, 0xB0));
    return palette;
}

} // namespace

QString styleSheet()
{
    registerSkinResources();
    QFile file(QStringLiteral(":/skin.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void apply(QApplication &app)
{
    registerSkinResources();
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setPalette(lightBluePalette(app.style()->standardPalette()));

    QFont font = app.font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(9);
    app.setFont(font);

    app.setStyleSheet(styleSheet());
    app.setWindowIcon(icon(QStringLiteral("app_icon")));
}

QIcon icon(const QString &name)
{
    registerSkinResources();
    const QString path = picturePath(name);
    if (!QFile::exists(path))
        return QIcon();
    return QIcon(path);
}

QPixmap picture(const QString &name)
{
    registerSkinResources();
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const QString key = QStringLiteral("skin:%1@%2").arg(name).arg(ratio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    const QString path = picturePath(name);
    if (!QFile::exists(path))
        return QPixmap();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QPixmap();
    const QSize size = renderer.defaultSize();
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace Skin
