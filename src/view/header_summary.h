#pragma once
// The header area: sender, recipients, date and reply-to addresses in two
// columns, labels beside values.

#include <string>
#include <vector>

#include "platform/clock.h"

class TIdMessage;
class TIdEMailAddressItem;
class TIdEMailAddressList;
class TStringList;

namespace view {

struct HeaderSummary {
    std::vector<std::string> labels;  // memoHeader1
    std::vector<std::string> values;  // memoHeader2
};

// seenAddresses is scratch space, compared without regard to letter case.
HeaderSummary BuildHeaderSummary(TIdMessage& mail, TStringList& seenAddresses);

// Which text the address items hold; letter case is ignored accordingly.
enum class TextForm { tfLocal, tfUtf8 };

// The same from the parts of a summary.
HeaderSummary BuildHeaderSummary(const TIdEMailAddressItem& from, const TIdEMailAddressList& recipients,
                                 const TIdEMailAddressList& replyTo, platform::TDateTime date,
                                 TStringList& seenAddresses, TextForm form);

// The addresses of a list joined by ", ", each address once (letter case
// ignored), in list order.
std::string AddressText(const TIdEMailAddressList& list, TStringList& seenAddresses);
// The names of the same items (an item whose address repeats is skipped);
// empty names add nothing, not even a separator.
std::string NameText(const TIdEMailAddressList& list, TStringList& seenAddresses);

// "DD.MM.YYYY HH:MM:SS".
std::string FormatMailDate(platform::TDateTime date);

}  // namespace view
