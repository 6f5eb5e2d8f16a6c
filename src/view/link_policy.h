#pragma once
// Which navigations of the HTML view stay inside the view, which are handed
// to the desktop, and which are refused.

#include <string>
#include <string_view>

namespace view {

enum class NavigationDecision {
    ndProceed,      // the HTML view may go there
    ndOpenOutside,  // cancel in the view, hand the URL to the desktop shell
    ndCancel,       // cancel, open nothing
};

// url as the HTML view reports it (UTF-8, percent-encoded as in the page);
// tempDir ends with "/".
NavigationDecision DecideNavigation(std::string_view url, const std::string& tempDir);

// The scheme in lower case ("http"), or empty when url has none.
std::string UrlScheme(std::string_view url);

// The local path a file: URL names (percent-decoded), or a plain absolute
// path as it stands; empty for anything else, including file: URLs of other
// hosts.
std::string LocalPathOf(std::string_view url);

// Whether path lies inside tempDir after "." and ".." have been resolved
// lexically; letter case counts, as it does in this file system.
bool IsInsideFolder(const std::string& path, const std::string& folder);

}  // namespace view
