#include "view/header_summary.h"

#include <cstdio>
#include <unordered_set>

#include "platform/codepage.h"
#include "platform/utf8.h"
#include "reader/message/message.h"

namespace view {
namespace {

enum class Walk { wAddresses, wNames };

std::string JoinUnique(const TIdEMailAddressList& list, TStringList& seen, Walk walk, TextForm form) {
    seen.Clear();
    // The addresses of seen, as its IndexOf compares them (letter case of
    // the local code page ignored): a search of the list per address would
    // be quadratic.
    std::unordered_set<std::string> seenKeys;
    std::string text;
    for (int i = 0; i < list.Count(); ++i) {
        const TIdEMailAddressItem& item = list.Items(i);
        const std::string key = form == TextForm::tfLocal ? platform::UpperCaseLocale(item.Address)
                                                          : platform::UpperCaseUtf8(item.Address);
        if (!seenKeys.insert(key).second) continue;
        seen.Add(item.Address);
        const std::string& piece = walk == Walk::wAddresses ? item.Address : item.Name;
        if (walk == Walk::wNames && piece.empty()) continue;
        if (!text.empty()) text += ", ";
        text += piece;
    }
    return text;
}

// The two columns pair up line by line; a line break inside a decoded name
// would push every later value against the wrong label.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

std::string AddressText(const TIdEMailAddressList& list, TStringList& seenAddresses) {
    return JoinUnique(list, seenAddresses, Walk::wAddresses, TextForm::tfLocal);
}

std::string NameText(const TIdEMailAddressList& list, TStringList& seenAddresses) {
    return JoinUnique(list, seenAddresses, Walk::wNames, TextForm::tfLocal);
}

std::string FormatMailDate(platform::TDateTime date) {
    const platform::DateTimeParts p = platform::DecodeDateTime(date);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", p.day, p.month, p.year, p.hour, p.minute,
                  p.second);
    return buffer;
}

HeaderSummary BuildHeaderSummary(TIdMessage& mail, TStringList& seenAddresses) {
    return BuildHeaderSummary(mail.From(), mail.Recipients, mail.ReplyTo, mail.Date, seenAddresses, TextForm::tfLocal);
}

HeaderSummary BuildHeaderSummary(const TIdEMailAddressItem& from, const TIdEMailAddressList& recipients,
                                 const TIdEMailAddressList& replyTo, platform::TDateTime date,
                                 TStringList& seenAddresses, TextForm form) {
    HeaderSummary s;
    auto add = [&s](std::string label, std::string value) {
        s.labels.push_back(std::move(label));
        s.values.push_back(OneLine(std::move(value)));
    };
    add("Von:", from.Address);
    if (!from.Name.empty()) add(" ", from.Name);
    add(" ", " ");
    add("An:", JoinUnique(recipients, seenAddresses, Walk::wAddresses, form));
    if (std::string names = JoinUnique(recipients, seenAddresses, Walk::wNames, form); !names.empty())
        add(" ", std::move(names));
    add(" ", " ");
    add("Gesendet:", FormatMailDate(date));
    if (std::string text = JoinUnique(replyTo, seenAddresses, Walk::wAddresses, form); !text.empty())
        add("Antwort an:", std::move(text));
    return s;
}

}  // namespace view
