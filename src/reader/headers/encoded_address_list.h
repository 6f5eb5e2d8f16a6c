#pragma once
// Address fields whose names may hold encoded words.

#include <functional>
#include <string>
#include <string_view>

#include "reader/headers/email_address.h"
#include "reader/headers/encoded_words.h"

// Decodes a header value, handing each decoded word to the filter.
using HeaderValueDecoder = std::function<std::string(std::string_view value, const DecodedWordFilter& filter)>;

// Decodes the encoded words of value and parses the address list, except
// that a comma, double quote, angle bracket, colon or semicolon that comes
// out of an encoded word is text of its name or address: it never splits or
// reshapes the list. Where no decoded word holds one, the list is exactly
// that of the decoded value.
void ParseEncodedAddressList(TIdEMailAddressList& list, std::string_view value,
                             const HeaderValueDecoder& decode = DecodeEncodedWords);
