#include "reader/headers/encoded_address_list.h"

#include <array>
#include <optional>

namespace {

// What the list and address parsers act on and an encoded word may bring.
constexpr std::string_view kListSpecials = ",\"<>:;";
// Characters with a meaning to the parsers; a stand-in must be none of them.
constexpr std::string_view kParserSpecials = ",\"<>:;()@\\.";

using StandIns = std::array<char, kListSpecials.size()>;

// Bytes that occur nowhere in text and mean nothing to the parsers, one per
// special character; nothing when text uses too many bytes for that.
std::optional<StandIns> FreeStandIns(std::string_view text) {
    std::array<bool, 256> used{};
    for (const char c : text) used[static_cast<unsigned char>(c)] = true;
    StandIns standIns{};
    std::size_t found = 0;
    // From the top down: high bytes are rare in names.
    for (int b = 255; b > 32 && found < standIns.size(); --b) {
        const char c = static_cast<char>(b);
        if (used[b] || kParserSpecials.find(c) != std::string_view::npos) continue;
        standIns[found++] = c;
    }
    if (found < standIns.size()) return std::nullopt;
    return standIns;
}

void Restore(std::string& text, const StandIns& standIns) {
    for (char& c : text) {
        for (std::size_t k = 0; k < standIns.size(); ++k) {
            if (c == standIns[k]) {
                c = kListSpecials[k];
                break;
            }
        }
    }
}

}  // namespace

void ParseEncodedAddressList(TIdEMailAddressList& list, std::string_view value, const HeaderValueDecoder& decode) {
    bool wordHoldsSpecial = false;
    const std::string decoded = decode(value, [&wordHoldsSpecial](std::string& word) {
        wordHoldsSpecial = wordHoldsSpecial || word.find_first_of(kListSpecials) != std::string::npos;
    });
    const std::optional<StandIns> standIns = wordHoldsSpecial ? FreeStandIns(decoded) : std::nullopt;
    if (!standIns) {
        list.ParseAddressList(decoded);
        return;
    }
    // The same walk again with the specials of the words replaced one for
    // one, so that the parsers read them as plain text; then put back.
    const std::string masked = decode(value, [&standIns](std::string& word) {
        for (char& c : word) {
            const std::size_t k = kListSpecials.find(c);
            if (k != std::string_view::npos) c = (*standIns)[k];
        }
    });
    list.ParseAddressList(masked);
    for (int i = 0; i < list.Count(); ++i) {
        TIdEMailAddressItem& item = list.Items(i);
        Restore(item.Name, *standIns);
        Restore(item.Address, *standIns);
    }
}
