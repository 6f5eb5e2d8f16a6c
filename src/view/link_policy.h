#pragma once
// Which navigations of the HTML view stay inside the view, which are handed
// to the desktop, and which are refused.

#include <string>
#include <string_view>

#include "view/page_files.h"

namespace view {

enum class NavigationDecision {
    ndProceed,      // the HTML view may go there
    ndOpenOutside,  // cancel in the view, hand the URL to the desktop shell
    ndCancel,       // cancel, open nothing
};

// url as the HTML view reports it (UTF-8, percent-encoded as in the page).
// A local file stays in the view only when it is one of the page's files
// that may be shown as a document (files may be null: none).
NavigationDecision DecideNavigation(std::string_view url, const PageFiles* files);

// The scheme in lower case ("http"), or empty when url has none.
std::string UrlScheme(std::string_view url);

// The local path a file: URL names (percent-decoded), or a plain absolute
// path as it stands; empty for anything else, including file: URLs of other
// hosts.
std::string LocalPathOf(std::string_view url);

}  // namespace view
