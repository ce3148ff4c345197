#include "app/web_view.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextFrame>
#include "app/browser.h"

namespace {
const QString kInlinePrefix = QStringLiteral("about:");

// The charset a fetched page declares, from its header or else its <meta> tag.
QByteArray declaredCharset(const QNetworkReply *reply, const QByteArray &body)
{
    static const QRegularExpression charsetRx(QStringLiteral(R"rx(charset\s*=\s*["']?([A-Za-z0-9._:\-]+))rx"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    QRegularExpressionMatch m = charsetRx.match(contentType);
    if (m.hasMatch())
        return m.captured(1).toLatin1();
    // Only the head matters; it is ASCII in every encoding a page would use.
    m = charsetRx.match(QString::fromLatin1(body.left(2048)));
    if (m.hasMatch())
        return m.captured(1).toLatin1();
    return QByteArray();
}

QString decodePage(const QNetworkReply *reply, const QByteArray &body)
{
    const QByteArray charset = declaredCharset(reply, body);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) {
            QString text = decoder.decode(body);
            if (!decoder.hasError())
                return text;
        }
    }
    return QString::fromUtf8(body);
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// An inline page can ask for no scroll bars with <body scroll="no">.
bool bodyForbidsScrolling(const QString &html)
{
    static const QRegularExpression rx(QStringLiteral(R"rx(<body\b[^>]*\bscroll\s*=\s*["']?no\b)rx"),
                                       QRegularExpression::CaseInsensitiveOption);
    return rx.match(html).hasMatch();
}
// Rich text ignores the box of <body>; inline pages rely on its background colour and
// padding, so they are carried over to the document's root frame.
void applyBodyBox(QTextDocument *document, const QString &html)
{
    static const QRegularExpression bodyRx(QStringLiteral(R"rx(<body\b([^>]*)>)rx"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression styleRx(QStringLiteral(R"rx(\bstyle\s*=\s*(?:"([^"]*)"|'([^']*)'))rx"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bgcolorRx(QStringLiteral(R"rx(\bbgcolor\s*=\s*["']?([#\w]+))rx"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch body = bodyRx.match(html);
    if (!body.hasMatch())
        return;
    const QString attributes = body.captured(1);

    QHash<QString, QString> style;
    const QRegularExpressionMatch styleMatch = styleRx.match(attributes);
    if (styleMatch.hasMatch()) {
        const QString text = styleMatch.captured(1) + styleMatch.captured(2);
        for (const QString &declaration : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
            if (colon > 0)
                style.insert(declaration.left(colon).trimmed().toLower(), declaration.mid(colon + 1).trimmed());
        }
    }

    QTextFrameFormat format = document->rootFrame()->frameFormat();
    QColor background;
    if (style.contains(QStringLiteral("background-color")))
        background = QColor(style.value(QStringLiteral("background-color")));
    else if (style.contains(QStringLiteral("background")))
        background = QColor(style.value(QStringLiteral("background")).section(QLatin1Char(' '), 0, 0));
    else if (const QRegularExpressionMatch m = bgcolorRx.match(attributes); m.hasMatch())
        background = QColor(m.captured(1));
    if (background.isValid())
        format.setBackground(background);

    auto pixels = [](const QString &value, qreal *out) {
        QString v = value.trimmed().toLower();
        if (v.endsWith(QLatin1String("px")))
            v.chop(2);
        bool ok = false;
        const qreal n = v.toDouble(&ok);
        if (ok)
            *out = n;
        return ok;
    };
    // top, right, bottom, left as in CSS
    qreal box[4] = {format.topMargin(), format.rightMargin(), format.bottomMargin(), format.leftMargin()};
    bool changed = false;
    if (style.contains(QStringLiteral("padding"))) {
        const QStringList parts = style.value(QStringLiteral("padding")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        qreal v[4];
        int n = 0;
        for (const QString &part : parts) {
            if (n == 4 || !pixels(part, &v[n]))
                break;
            ++n;
        }
        if (n == int(parts.size()) && n > 0) {
            const int pick[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
            for (int side = 0; side < 4; ++side)
                box[side] = v[pick[n - 1][side]];
            changed = true;
        }
    }
    const char *sides[4] = {"padding-top", "padding-right", "padding-bottom", "padding-left"};
    for (int side = 0; side < 4; ++side)
        if (style.contains(QLatin1String(sides[side])))
            changed |= pixels(style.value(QLatin1String(sides[side])), &box[side]);
    if (changed) {
        format.setTopMargin(box[0]);
        format.setRightMargin(box[1]);
        format.setBottomMargin(box[2]);
        format.setLeftMargin(box[3]);
    }
    document->rootFrame()->setFrameFormat(format);
}
} // namespace

WebView::WebView(QWidget *parent) : QTextBrowser(parent), m_manager(new QNetworkAccessManager(this))
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QTextBrowser::anchorClicked, this, &WebView::linkClicked);
}

WebView::~WebView()
{
    dropPendingFetch();
}

void WebView::setNetworkAccessManager(QNetworkAccessManager *manager)
{
    dropPendingFetch();
    m_manager = manager;
}

void WebView::dropPendingFetch()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void WebView::navigate(const QString &target)
{
    // A later navigation always wins over a page still on its way.
    dropPendingFetch();
    m_target = target;

    if (target.startsWith(kInlinePrefix, Qt::CaseInsensitive)) {
        m_base = QUrl();
        showPage(target.mid(kInlinePrefix.size()), false);
        return;
    }

    const QUrl url(target, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || !m_manager)
        return;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(30000);
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinished(reply); });
}

void WebView::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    if (reply->error() != QNetworkReply::NoError) {
        if (m_failurePage.startsWith(kInlinePrefix, Qt::CaseInsensitive)) {
            m_base = QUrl();
            showPage(m_failurePage.mid(kInlinePrefix.size()), false);
        }
        Q_EMIT fetchFinished(false);
        return;
    }
    const QByteArray body = reply->readAll();
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    m_base = reply->url();
    showPage(decodePage(reply, body), contentType.startsWith(QLatin1String("text/plain"), Qt::CaseInsensitive));
    Q_EMIT fetchFinished(true);
}

void WebView::showPage(const QString &html, bool plainText)
{
    const Qt::ScrollBarPolicy policy =
        !plainText && bodyForbidsScrolling(html) ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setVerticalScrollBarPolicy(policy);
    setHorizontalScrollBarPolicy(policy);
    if (plainText) {
        setPlainText(html);
    } else {
        setHtml(html);
        applyBodyBox(document(), html);
    }
    document()->setBaseUrl(m_base);
}

void WebView::linkClicked(const QUrl &link)
{
    // Links within the page only move the view.
    if (link.isRelative() && link.path().isEmpty() && link.hasFragment()) {
        scrollToAnchor(link.fragment());
        return;
    }
    const QUrl absolute = m_base.isValid() ? m_base.resolved(link) : link;
    // A fetched page is not ours: its file:, javascript:, mailto: or custom-scheme links
    // would start local handlers, so only web addresses leave the view.
    if (!isWebAddress(absolute))
        return;
    Browser::open(window(), absolute.toString(QUrl::FullyEncoded));
}

QVariant WebView::loadResource(int type, const QUrl &name)
{
    // Pages may use the program's own pictures, but never reach into local files.
    if (name.scheme() == QLatin1String("qrc") || name.toString().startsWith(QLatin1Char(':')))
        return QTextBrowser::loadResource(type, name);
    return QVariant();
}
