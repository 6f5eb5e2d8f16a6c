#include "reader/decoding/mime_boundary.h"

#include "platform/codepage.h"
#include "reader/headers/header_text.h"

void TIdMIMEBoundary::PushBoundary(std::string boundary, int parentPart) {
    entries_.push_back(Entry{std::move(boundary), parentPart});
}

void TIdMIMEBoundary::PopBoundary() {
    if (!entries_.empty()) entries_.pop_back();
}

void TIdMIMEBoundary::ClearBoundaries() { entries_.clear(); }

int TIdMIMEBoundary::BoundaryCount() const { return static_cast<int>(entries_.size()); }

std::string TIdMIMEBoundary::CurrentBoundary() const { return CurrentBoundaryRef(); }

const std::string& TIdMIMEBoundary::CurrentBoundaryRef() const {
    static const std::string kNone;
    return entries_.empty() ? kNone : entries_.back().boundary;
}

int TIdMIMEBoundary::CurrentParentPart() const { return entries_.empty() ? -1 : entries_.back().parentPart; }

std::string TIdMIMEBoundary::ExtractBoundary(std::string_view contentTypeValue) {
    static constexpr std::string_view kKey = "BOUNDARY";
    const std::size_t pos = platform::FindTextLocale(contentTypeValue, kKey);
    if (pos == std::string_view::npos) return {};
    std::string s = Trim(contentTypeValue.substr(pos + kKey.size()));
    if (!s.empty() && s[0] == '=') s = Trim(std::string_view(s).substr(1));
    if (!s.empty() && s[0] == '"') {
        const std::string_view quoted = std::string_view(s).substr(1);
        return std::string(quoted.substr(0, quoted.find('"')));
    }
    // Unquoted, the boundary runs to the end of the value: ";" and blanks
    // after it are part of it, as stored mail has always been read.
    return s;
}
