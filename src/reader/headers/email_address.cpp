#include "reader/headers/email_address.h"

#include <algorithm>

#include "platform/codepage.h"
#include "reader/headers/header_text.h"

// The parsers below walk the text from special character to special
// character and cut off what they have dealt with. The remaining text is a
// string_view whose front is dropped, so long fields stay linear.

namespace {

constexpr std::string_view kAtomChars =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$%&'*+-/=?_`{}|~";
constexpr std::string_view kListSeparators = ":;(\", \t";
constexpr std::string_view kItemSeparators = "(\"< @\t";

bool IsWhite(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsAtomChar(char c) { return kAtomChars.find(c) != std::string_view::npos; }
bool IsNameChar(char c) { return c == ' ' || IsAtomChar(c); }

std::string_view TrimLeftView(std::string_view s) {
    while (!s.empty() && IsWhite(s.front())) s.remove_prefix(1);
    return s;
}

void TrimInPlace(std::string& s) {
    while (!s.empty() && IsWhite(s.back())) s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && IsWhite(s[b])) ++b;
    if (b > 0) s.erase(0, b);
}

// S[1..n] of the remaining text, clamped to what is there.
std::string_view Head(std::string_view s, int n) {
    return s.substr(0, static_cast<std::size_t>(std::max(n, 0)));
}

// "Delete through i": drops S[1..i], clamped to what is there.
void DropThrough(std::string_view& s, int i) {
    s.remove_prefix(std::min(static_cast<std::size_t>(std::max(i, 0)), s.size()));
}

// Backslash and double quote get a backslash in front.
void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
}

// Text grown only by appending; remembers whether it holds anything but
// white space so that "trim(acc) is empty" costs nothing.
class Accumulator {
public:
    void Append(std::string_view part) {
        if (!hasText_) hasText_ = std::any_of(part.begin(), part.end(), [](char c) { return !IsWhite(c); });
        text_ += part;
    }
    void Clear() {
        text_.clear();
        hasText_ = false;
    }
    bool HasText() const { return hasText_; }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    bool hasText_ = false;
};

}  // namespace

std::string TIdEMailAddressItem::Text() const {
    // With a name shown the address goes in angle brackets; a name that only
    // repeats the address is not shown.
    const bool withName = !Name.empty() && !platform::SameTextLocale(Name, Address);

    std::string addressForm;
    if (Address.empty()) {
        if (!Name.empty()) addressForm = "<>";
    } else {
        const std::size_t at = Address.rfind('@');
        const std::string_view whole = Address;
        const std::string_view local = at == std::string::npos ? whole : whole.substr(0, at);
        const std::string_view domain = at == std::string::npos ? std::string_view() : whole.substr(at);
        const int p = FirstCharNotIn(kAtomChars, local);
        // Only the first non-atom character decides; a dot there never
        // forces quotes ("first.last@x" stays as it is).
        if (p > 0 && local[static_cast<std::size_t>(p - 1)] != '.') {
            addressForm = "<\"";
            AppendEscaped(addressForm, local);
            addressForm += '"';
            addressForm += domain;
            addressForm += '>';
        } else if (withName) {
            addressForm = '<';  // a char: GCC 12 warns falsely about the string form at -O3
            addressForm += Address;
            addressForm += '>';
        } else {
            addressForm = Address;
        }
    }

    if (!withName) return addressForm;
    if (std::all_of(Name.begin(), Name.end(), IsNameChar)) return Name + " " + addressForm;
    std::string result = "\"";
    for (char c : Name) {
        if (!IsNameChar(c) && (c == '\\' || c == '"')) result += '\\';
        result += c;
    }
    result += "\" ";
    result += addressForm;
    return result;
}

void TIdEMailAddressItem::SetText(std::string_view text) {
    Address.clear();
    Name.clear();
    const std::string trimmed = Trim(text);
    std::string_view s = trimmed;
    if (s.empty()) return;

    int i = FirstCharIn(kItemSeparators, s);
    if (i == 0) {
        Address = trimmed;
        return;
    }

    int depth = 0;
    bool inAddress = false;
    bool angle = false;
    bool quoted = false;
    bool atSeen = false;
    while (i > 0) {
        switch (s[static_cast<std::size_t>(i - 1)]) {
        case ' ':
        case '\t':
            if (i == 1) {
                s.remove_prefix(1);
            } else {
                if (atSeen) {
                    Address += TrimmedView(Head(s, i - 1));
                } else {
                    Name += Head(s, i);
                }
                DropThrough(s, i);
            }
            break;
        case '"':
            if (quoted) {
                (angle ? Address : Name) += TrimmedView(Head(s, i - 1));
                DropThrough(s, i);
                quoted = false;
            } else {
                quoted = true;
                // A quote glued to the word before it ('Jo"hn"'): keep that
                // word and drop the quote rather than the word's first letter.
                if (i > 1) (inAddress ? Address : Name) += Head(s, i - 1);
                DropThrough(s, i);
            }
            break;
        case '(':
            ++depth;
            if (i == 1) {
                s.remove_prefix(1);
            } else {
                if (inAddress) {
                    Address += TrimmedView(Head(s, i - 1));
                } else if (depth == 1) {
                    Name += Head(s, i - 1);
                }
                DropThrough(s, i);
            }
            break;
        case ')':
            // Comment text is never kept.
            --depth;
            DropThrough(s, i);
            break;
        case '.':
            if (angle) {
                // Blanks after a dot inside angle brackets are dropped.
                Address += TrimmedView(Head(s, i - 1));
                Address += '.';
                DropThrough(s, i);
                s = TrimLeftView(s);
            } else {
                Address += Head(s, i);
                DropThrough(s, i);
            }
            break;
        case '<':
            if (i > 1) Name += Head(s, i - 1);
            TrimInPlace(Name);
            angle = true;
            inAddress = true;
            DropThrough(s, i);
            break;
        case '>':
            inAddress = false;
            atSeen = false;
            Address += TrimmedView(Head(s, i - 1));
            DropThrough(s, i);
            break;
        case '@':
            atSeen = true;
            if (inAddress) {
                Address += Head(s, i);
            } else if (angle) {
                // An "@" after the bracketed address belongs to the name.
                Name += s;
                return;
            } else {
                inAddress = true;
                Address += Head(s, i);
            }
            DropThrough(s, i);
            break;
        case '\\':
            if (quoted) {
                std::string& target = inAddress ? Address : Name;
                target += Head(s, i - 1);
                if (static_cast<std::size_t>(i) < s.size()) target += s[static_cast<std::size_t>(i)];
            }
            DropThrough(s, i + 1);
            break;
        default:
            break;
        }

        if (depth > 0) {
            i = FirstCharIn("()\\", s);
        } else if (quoted) {
            i = FirstCharIn("\"\\", s);
        } else if (atSeen && angle) {
            i = FirstCharIn(".>(", s);
        } else if (atSeen) {
            i = FirstCharIn(".( ", s);
        } else if (inAddress) {
            i = FirstCharIn("\"(@>", s);
        } else {
            i = FirstCharIn(kItemSeparators, s);
        }
    }
    if (inAddress && !angle) Address += TrimmedView(s);
}

std::string TIdEMailAddressItem::Domain() const {
    const std::size_t at = Address.rfind('@');
    return at == std::string::npos ? std::string() : Address.substr(at + 1);
}

void TIdEMailAddressItem::SetDomain(std::string_view value) {
    const std::size_t at = Address.find('@');
    std::string user = at == std::string::npos ? Address : Address.substr(0, at);
    Address = user + "@" + std::string(value);
}

std::string TIdEMailAddressItem::User() const {
    const std::size_t at = Address.rfind('@');
    return at == std::string::npos ? std::string() : Address.substr(0, at);
}

void TIdEMailAddressItem::SetUser(std::string_view value) {
    const std::size_t at = Address.find('@');
    std::string domain = at == std::string::npos ? Address : Address.substr(at + 1);
    Address = std::string(value) + "@" + domain;
}

TIdEMailAddressItem& TIdEMailAddressList::Add() {
    items_.push_back(std::make_unique<TIdEMailAddressItem>());
    return *items_.back();
}

void TIdEMailAddressList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
}

void TIdEMailAddressList::Assign(const TIdEMailAddressList& other) {
    if (&other == this) return;
    Clear();
    for (const auto& item : other.items_) Add().Assign(*item);
}

void TIdEMailAddressList::ParseAddressList(std::string_view value) {
    Clear();
    std::string_view s = value;
    if (TrimmedView(s).empty()) return;

    // Adds an item from text; an entry that renders as nothing is dropped.
    auto addUnlessEmpty = [this](std::string_view text) {
        TIdEMailAddressItem& item = Add();
        item.SetText(text);
        const std::string rendered = Trim(item.Text());
        if (rendered.empty() || rendered == "<>") items_.pop_back();
    };

    int i = FirstCharIn(kListSeparators, s);
    if (i == 0) {
        Add().SetText(TrimLeftView(s));
        return;
    }

    Accumulator acc;
    int depth = 0;
    bool quoted = false;
    while (i > 0) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        switch (c) {
        case ' ':
        case '\t':
        case '"':
        case '(':
        case ')':
            acc.Append(Head(s, i));
            DropThrough(s, i);
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                --depth;
            }
            break;
        case '\\':
            acc.Append(Head(s, i + 1));
            DropThrough(s, i + 1);
            break;
        case ':':
            // A group's display name goes, with everything before it.
            DropThrough(s, i);
            acc.Clear();
            break;
        case ';':
            // Group end: the last member is kept whatever it renders as.
            acc.Append(Head(s, i - 1));
            if (acc.HasText()) {
                Add().SetText(TrimLeftView(acc.Text()));
                acc.Clear();
            }
            DropThrough(s, i);
            break;
        case ',':
            acc.Append(Head(s, i - 1));
            addUnlessEmpty(acc.Text());
            acc.Clear();
            DropThrough(s, i);
            break;
        default:
            break;
        }

        if (depth > 0) {
            i = FirstCharIn("(\\)", s);
        } else if (quoted) {
            i = FirstCharIn("\"\\", s);
        } else {
            i = FirstCharIn(kListSeparators, s);
        }
    }
    if (acc.HasText() || !TrimmedView(s).empty()) {
        acc.Append(s);
        addUnlessEmpty(TrimLeftView(acc.Text()));
    }
}
