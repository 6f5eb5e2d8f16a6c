#pragma once
// The embedded HTML view (WebBrowser1) as the core drives it.

#include <memory>
#include <string>

#include "view/page_files.h"

namespace view {

// How the published HTML temporary file is encoded.
enum class HtmlFileEncoding {
    heLocal,    // the bytes as the mail had them: default to Windows-1252,
                // but a charset the page declares itself wins
    heUtf8Bom,  // converted text written as UTF-8 behind a byte order mark
};

// What the page may do, decided per mail by the core.
struct HtmlPageSettings {
    HtmlFileEncoding encoding = HtmlFileEncoding::heLocal;
    // Remote resources (images, style sheets, fonts). False until the user
    // allows them for the mail on show; then for this page alone.
    bool remoteContentAllowed = false;
    // The only local files the page may load; none when null.
    std::shared_ptr<const PageFiles> files;
};

class HtmlView {
public:
    virtual ~HtmlView() = default;

    // Stops loading and any navigation in progress.
    virtual void Stop() = 0;
    // target is "about:blank" or the full path of a file (UTF-8, not a URL).
    // The view applies settings to this page and reports the navigation to
    // MailViewCore::WebBrowser1BeforeNavigate2 like any other. May raise;
    // the core ignores a failure to show "about:blank".
    virtual void Navigate(const std::string& target, const HtmlPageSettings& settings) = 0;
};

}  // namespace view
