#pragma once
// The program's embedded web view. navigate() takes either an inline page ("about:" followed
// by HTML), rendered at once, or a web address, fetched in the background and shown as rich
// text when it arrives. The call never waits; failed fetches leave the view as it was.
// Links are never followed inside the view: they go to the user's browser.
#include <QTextBrowser>
#include <QPointer>
#include <QUrl>

#include <QNetworkAccessManager>
class QNetworkReply;

class WebView : public QTextBrowser
{
    Q_OBJECT
public:
    explicit WebView(QWidget *parent = nullptr);
    ~WebView() override;

    void navigate(const QString &target);

    // The target of the last navigate(), as given.
    QString target() const { return m_target; }

    // An inline page ("about:" and HTML) shown when a web address cannot be fetched, as a
    // browser shows its own notice; empty leaves the view as it was.
    void setFailurePage(const QString &inlinePage) { m_failurePage = inlinePage; }

    // The manager used for web addresses (the view's own by default); not owned.
    void setNetworkAccessManager(QNetworkAccessManager *manager);
    QNetworkAccessManager *networkAccessManager() const { return m_manager; }

Q_SIGNALS:
    // A fetch of the current target ended: shown (true) or dropped after an error (false).
    // The program itself never listens; it lets pages load on their own.
    void fetchFinished(bool shown);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void dropPendingFetch();
    void showPage(const QString &html, bool plainText);
    void replyFinished(QNetworkReply *reply);
    void linkClicked(const QUrl &link);

    QPointer<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply;
    QString m_target;
    QString m_failurePage;
    QUrl m_base;
};
