#include "view/link_policy.h"

#include "platform/codepage.h"

namespace view {
namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = HexValue(s[i + 1]);
            const int lo = HexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// Schemes whose programs show content and start nothing local.
bool IsOutsideScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "mailto" || scheme == "news";
}

}  // namespace

std::string UrlScheme(std::string_view url) {
    if (url.empty() || !IsAlpha(url[0])) return {};
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':') return platform::LowerCaseAscii(url.substr(0, i));
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return {};
}

std::string LocalPathOf(std::string_view url) {
    if (url.starts_with('/')) return std::string(url);
    if (UrlScheme(url) != "file") return {};
    std::string_view rest = url.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && platform::LowerCaseAscii(host) != "localhost") return {};
        if (slash == std::string_view::npos) return {};
        rest.remove_prefix(slash);
    }
    if (const auto end = rest.find_first_of("?#"); end != std::string_view::npos) rest = rest.substr(0, end);
    if (!rest.starts_with('/')) return {};
    std::string path = PercentDecode(rest);
    if (path.find('\0') != std::string::npos) return {};
    return path;
}

NavigationDecision DecideNavigation(std::string_view url, const PageFiles* files) {
    if (url == "about:blank") return NavigationDecision::ndProceed;
    const std::string scheme = UrlScheme(url);
    // The browser's own page for a cancelled navigation; only its resource
    // scheme, so that a remote address merely containing the word does not
    // load inside the view.
    if (scheme == "res" && platform::UpperCaseAscii(url).find("NAVCANCL") != std::string::npos)
        return NavigationDecision::ndProceed;
    if (const std::string path = LocalPathOf(url); !path.empty())
        return files && files->Use(path) == PageFileUse::pfDocument ? NavigationDecision::ndProceed
                                                                    : NavigationDecision::ndCancel;
    if (IsOutsideScheme(scheme)) return NavigationDecision::ndOpenOutside;
    return NavigationDecision::ndCancel;
}

}  // namespace view
