#pragma once
// What a mail may do inside our window, in one place: the profile the HTML
// view runs in, the settings of its page, which requests it may make and
// where its navigations go.
//
// A mail page may load its own files (the page, the content-id files its
// mail wrote; only raster images and the page itself as documents, so no
// XML document is ever transformed by a style sheet), about: and data: URLs
// (not as frames). Remote resources (http, https, ftp, ws, wss) load only
// after the user allowed them, and only for the page they were allowed
// for; each refused one is recorded so the view can offer to load them.
// Every navigation the user starts (link, typed address, the view's own
// Navigate) is decided by the mail view's link rules; navigations the page
// starts on its own (refresh, redirects, frames) never leave the window and
// never reach the desktop. No history to go back to, no forms sent, no
// scripts, plugins, storage, windows, downloads, permissions.

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "view/html_view.h"

class QWebEngineProfile;

namespace view::qt {

enum class RequestDecision {
    rdAllow,
    rdBlock,        // never allowed (files outside TempDir, browser internals)
    rdBlockRemote,  // remote content the user has not allowed (yet)
};

// The rule for one resource request of a mail page: files are the page's
// own (null: none); remoteContentAllowed holds for the page that asks.
RequestDecision DecideResourceRequest(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type,
                                      const PageFiles* files, bool remoteContentAllowed);

// Off the record (nothing on disk), memory cache, no cookies, no downloads.
QWebEngineProfile* CreateMailWebProfile(QObject* parent);

class MailWebPage;

class MailRequestInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit MailRequestInterceptor(MailWebPage& page);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    MailWebPage& page_;
};

class MailWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    // Decides a navigation the user started; url as text (fully encoded);
    // sets cancel to refuse it. The mail view's WebBrowser1BeforeNavigate2.
    using NavigationHandler = std::function<void(const std::string& url, bool& cancel)>;

    MailWebPage(QWebEngineProfile* profile, QObject* parent);
    ~MailWebPage() override;

    void SetNavigationHandler(NavigationHandler handler) { handler_ = std::move(handler); }

    // Shows url under settings: they hold for this page until the next call.
    void ShowUrl(const QUrl& url, const HtmlPageSettings& settings);

    bool RemoteContentAllowed() const { return remoteContentAllowed_.load(); }
    // Whether remote content is allowed for requests of the page at url
    // (a request's first party): only the page it was allowed for.
    bool RemoteContentAllowedFor(const QUrl& page) const;
    // The local files the page on show may load.
    std::shared_ptr<const PageFiles> Files() const;
    // Whether a remote request of the current page was refused.
    bool RemoteContentBlocked() const { return remoteContentBlocked_.load(); }

    // Called by the interceptor, on whatever thread it runs.
    void NoteRemoteContentBlocked();

Q_SIGNALS:
    // The first refused remote request of the current page.
    void remoteContentBlocked();
    // Every navigation, after it was decided.
    void navigationDecided(const QUrl& url, bool accepted);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    bool DecideUserNavigation(const QUrl& url);
    bool DecideAutomaticNavigation(const QUrl& url, bool isMainFrame);
    void DenyEverythingAsked();

    MailRequestInterceptor interceptor_;
    NavigationHandler handler_;
    mutable std::mutex mutex_;
    std::shared_ptr<const PageFiles> files_;
    QUrl remoteAllowedPage_;
    std::atomic<bool> remoteContentAllowed_{false};
    std::atomic<bool> remoteContentBlocked_{false};
};

}  // namespace view::qt
