#pragma once
// What a mail may do inside our window, in one place: the profile the HTML
// view runs in, the settings of its page, which requests it may make and
// where its navigations go.
//
// A mail page may load files from TempDir (its own page, content-id files),
// about: and data: URLs. Remote resources (http, https, ftp, ws, wss) load
// only after the user allowed them for the mail on show; each refused one
// is recorded so the view can offer to load them. Every navigation the user
// starts (link, typed address, the view's own Navigate) is decided by the
// mail view's link rules; navigations the page starts on its own (refresh,
// redirects, frames) never leave the window and never reach the desktop.
// No scripts, plugins, storage, windows, downloads, permissions.

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <atomic>
#include <functional>
#include <string>

#include "view/html_view.h"

class QWebEngineProfile;

namespace view::qt {

enum class RequestDecision {
    rdAllow,
    rdBlock,        // never allowed (files outside TempDir, browser internals)
    rdBlockRemote,  // remote content the user has not allowed (yet)
};

// The rule for one resource request of a mail page; tempDir ends with "/".
RequestDecision DecideResourceRequest(const QUrl& url, const std::string& tempDir, bool remoteContentAllowed);

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
    std::atomic<bool> remoteContentAllowed_{false};
    std::atomic<bool> remoteContentBlocked_{false};
};

}  // namespace view::qt
