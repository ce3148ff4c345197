#pragma once
// A window that is one embedded web page: the customer-service window Thezi and the sponsor
// window Tqoravi. The page is loaded once, when the window is created, and shown as it is
// whenever the window opens; offline, a local notice stands in for it.
#include <QDialog>

class ContextMenuFilter;
class WebView;

class WebWindow : public QDialog
{
    Q_OBJECT
public:
    WebView *view() const { return m_view; }   // WebBrowser1
    QString address() const { return m_address; }

    static QString offlinePage();
    // Shown when the page cannot be fetched although the machine is online.
    static QString failedPage();

protected:
    // The view starts two pixels outside the client area at the left and top and is
    // overhang pixels wider and higher than it, so its border is never seen.
    WebWindow(const QString &name, const QString &caption, const QSize &client, int overhang,
              const QString &address, QWidget *parent);

    void showEvent(QShowEvent *event) override;

private:
    void FormCreate(const QSize &client, int overhang);

    QString m_address;
    WebView *m_view;
    ContextMenuFilter *m_filter;   // ApplicationEvents1
};

class Thezi : public WebWindow
{
    Q_OBJECT
public:
    explicit Thezi(QWidget *parent = nullptr);
    static QString serviceAddress();
};

class Tqoravi : public WebWindow
{
    Q_OBJECT
public:
    explicit Tqoravi(QWidget *parent = nullptr);
    static QString sponsorAddress();
};
