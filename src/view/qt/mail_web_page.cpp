#include "view/qt/mail_web_page.h"

#include <QAuthenticator>
#include <QMetaObject>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineCookieStore>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>

#include "view/link_policy.h"

#if defined(__SANITIZE_ADDRESS__)
// Sanitized builds: Chromium's browser side runs inside our process and is
// not ours to fix. It deletes some objects through a pointer of another
// size and keeps some allocations to the end; our own code stays checked.
// Every program that shows the web view links this file.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libfontconfig.so\n";
}
#endif

namespace view::qt {
namespace {

// Schemes that reach other machines.
bool IsRemoteScheme(const QString& scheme) {
    return scheme == u"http" || scheme == u"https" || scheme == u"ftp" || scheme == u"ws" || scheme == u"wss";
}

std::string UrlText(const QUrl& url) { return url.toString(QUrl::FullyEncoded).toStdString(); }

using ResourceType = QWebEngineUrlRequestInfo::ResourceType;

// Requests whose answer the engine shows as a document of its own.
bool IsDocument(ResourceType type) {
    return type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
           type == QWebEngineUrlRequestInfo::ResourceTypeSubFrame ||
           type == QWebEngineUrlRequestInfo::ResourceTypeObject ||
           type == QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadMainFrame ||
           type == QWebEngineUrlRequestInfo::ResourceTypeNavigationPreloadSubFrame;
}

// What content-id files are for. Everything else (frames, objects, XSLT's
// document() loads, prefetches) would let one file read others.
bool IsPlainResource(ResourceType type) {
    return type == QWebEngineUrlRequestInfo::ResourceTypeImage ||
           type == QWebEngineUrlRequestInfo::ResourceTypeStylesheet ||
           type == QWebEngineUrlRequestInfo::ResourceTypeFontResource ||
           type == QWebEngineUrlRequestInfo::ResourceTypeMedia;
}

// Pages are compared by the file they show.
bool SamePage(const QUrl& a, const QUrl& b) {
    if (a.isLocalFile() && b.isLocalFile()) return a.toLocalFile() == b.toLocalFile();
    return a == b;
}

void HardenSettings(QWebEngineSettings& s) {
    s.setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s.setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s.setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s.setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s.setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    s.setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s.setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s.setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    // The page is a local file. Whether it may load a remote or another
    // local resource is the interceptor's call alone: refused earlier, a
    // request could neither be counted nor allowed later.
    s.setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s.setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s.setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s.setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    // Each of these would make requests nobody asked for.
    s.setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s.setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s.setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s.setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
    s.setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s.setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s.setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s.setAttribute(QWebEngineSettings::WebGLEnabled, false);
    s.setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    s.setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    // A file dropped on the mail belongs to the main window, not the page.
    s.setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s.setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // mailto:, news: and the like reach acceptNavigationRequest only when
    // the engine lets them through; the link rules decide there.
    s.setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    s.setDefaultTextEncoding(QStringLiteral("windows-1252"));
}

}  // namespace

RequestDecision DecideResourceRequest(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type,
                                      const PageFiles* files, bool remoteContentAllowed) {
    const QString scheme = url.scheme().toLower();
    if (scheme == u"file") {
        const PageFileUse use = files ? files->Use(LocalPathOf(UrlText(url))) : PageFileUse::pfNone;
        const bool allowed = use == PageFileUse::pfDocument || (use == PageFileUse::pfResource && IsPlainResource(type));
        return allowed ? RequestDecision::rdAllow : RequestDecision::rdBlock;
    }
    if (scheme == u"about") return RequestDecision::rdAllow;
    // A data: frame could be an XML document with its own style sheet.
    if (scheme == u"data") return IsDocument(type) ? RequestDecision::rdBlock : RequestDecision::rdAllow;
    if (IsRemoteScheme(scheme)) return remoteContentAllowed ? RequestDecision::rdAllow : RequestDecision::rdBlockRemote;
    return RequestDecision::rdBlock;
}

QWebEngineProfile* CreateMailWebProfile(QObject* parent) {
    // A profile without a storage name is off the record.
    auto* profile = new QWebEngineProfile(parent);
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setSpellCheckEnabled(false);
    // Allowed remote content is shown, not tracked.
    profile->cookieStore()->setCookieFilter([](const QWebEngineCookieStore::FilterRequest&) { return false; });
    QObject::connect(profile, &QWebEngineProfile::downloadRequested,
                     [](QWebEngineDownloadRequest* download) { download->cancel(); });
    HardenSettings(*profile->settings());
    return profile;
}

MailRequestInterceptor::MailRequestInterceptor(MailWebPage& page) : page_(page) {}

void MailRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    switch (DecideResourceRequest(info.requestUrl(), info.resourceType(), page_.Files().get(),
                                  page_.RemoteContentAllowedFor(info.firstPartyUrl()))) {
    case RequestDecision::rdAllow:
        return;
    case RequestDecision::rdBlockRemote:
        info.block(true);
        page_.NoteRemoteContentBlocked();
        return;
    case RequestDecision::rdBlock:
        info.block(true);
        return;
    }
}

MailWebPage::MailWebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent), interceptor_(*this) {
    HardenSettings(*settings());
    setUrlRequestInterceptor(&interceptor_);
    DenyEverythingAsked();
    // Nothing to go back to: an earlier page would come back under the
    // permissions of the one on show.
    connect(this, &QWebEnginePage::loadFinished, this, [this] { history()->clear(); });
}

MailWebPage::~MailWebPage() { setUrlRequestInterceptor(nullptr); }

void MailWebPage::DenyEverythingAsked() {
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::quotaRequested, this, [](QWebEngineQuotaRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::selectClientCertificate, this,
            [](QWebEngineClientCertificateSelection selection) { selection.selectNone(); });
    connect(this, &QWebEnginePage::certificateError, this, [](const QWebEngineCertificateError& error) {
        QWebEngineCertificateError copy = error;
        copy.rejectCertificate();
    });
    // Leaving the authenticator null cancels the request.
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl&, QAuthenticator* authenticator, const QString&) { *authenticator = QAuthenticator(); });
    // A link meant for a new window (target=_blank, middle click) stays a
    // link: the same rules decide, in this page.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        const QUrl url = request.requestedUrl();
        if (request.isUserInitiated() && url.isValid())
            load(url);
        else
            Q_EMIT navigationDecided(url, false);
    });
}

void MailWebPage::ShowUrl(const QUrl& url, const HtmlPageSettings& settings) {
    {
        const std::lock_guard lock(mutex_);
        files_ = settings.files;
        remoteAllowedPage_ = settings.remoteContentAllowed ? url : QUrl();
    }
    remoteContentAllowed_ = settings.remoteContentAllowed;
    remoteContentBlocked_ = false;
    history()->clear();
    // A byte order mark decides by itself; this is for pages without one
    // that do not declare their charset.
    this->settings()->setDefaultTextEncoding(settings.encoding == HtmlFileEncoding::heUtf8Bom
                                                 ? QStringLiteral("utf-8")
                                                 : QStringLiteral("windows-1252"));
    load(url);
}

bool MailWebPage::RemoteContentAllowedFor(const QUrl& page) const {
    const std::lock_guard lock(mutex_);
    return !remoteAllowedPage_.isEmpty() && SamePage(page, remoteAllowedPage_);
}

std::shared_ptr<const PageFiles> MailWebPage::Files() const {
    const std::lock_guard lock(mutex_);
    return files_;
}

void MailWebPage::NoteRemoteContentBlocked() {
    if (remoteContentBlocked_.exchange(true)) return;
    QMetaObject::invokeMethod(this, [this] { Q_EMIT remoteContentBlocked(); }, Qt::AutoConnection);
}

bool MailWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    bool accepted = false;
    switch (type) {
    case NavigationTypeLinkClicked:
    case NavigationTypeTyped:
    case NavigationTypeReload:
        accepted = DecideUserNavigation(url);
        break;
    // A form would send what the mail put into it; history would bring an
    // earlier page back.
    case NavigationTypeFormSubmitted:
    case NavigationTypeBackForward:
        accepted = false;
        break;
    case NavigationTypeOther:
    case NavigationTypeRedirect:
        accepted = DecideAutomaticNavigation(url, isMainFrame);
        break;
    }
    Q_EMIT navigationDecided(url, accepted);
    return accepted;
}

bool MailWebPage::DecideUserNavigation(const QUrl& url) {
    if (!handler_) return false;
    bool cancel = false;
    try {
        handler_(UrlText(url), cancel);
    } catch (...) {
        // A navigation nobody could decide does not happen.
        return false;
    }
    return !cancel;
}

bool MailWebPage::DecideAutomaticNavigation(const QUrl& url, bool isMainFrame) {
    // A mail that refreshes or redirects itself to an address would open
    // the browser without the user's doing: such navigations stay inside
    // the link rules' allowed places, or are refused.
    if (DecideNavigation(UrlText(url), Files().get()) == NavigationDecision::ndProceed) return true;
    const bool remote = IsRemoteScheme(url.scheme().toLower());
    // A frame of remote content is remote content.
    if (!isMainFrame && remote && RemoteContentAllowed()) return true;
    if (remote && !RemoteContentAllowed()) NoteRemoteContentBlocked();
    return false;
}

QWebEnginePage* MailWebPage::createWindow(WebWindowType) { return nullptr; }

QStringList MailWebPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) { return {}; }

void MailWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) {}

}  // namespace view::qt
