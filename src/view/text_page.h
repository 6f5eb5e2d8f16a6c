#pragma once
// What the text view (reNachricht) shows of a text body: the lines that the
// whole text, decoded and split, would give, made line by line where the
// charset allows it, so that a large mail needs no second and third copy
// of its text and its reading can be abandoned at any point.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/string_list.h"

class TIdMessage;

namespace view {

class MailTextDecoder;

// Appends the separator of two text parts, with an empty line on either
// side, when lines holds a text.
void SeparateFromTextBefore(std::vector<std::string>& lines);

// How the text is read: decoder for the Unicode view, nullptr for the
// classic one, where classicUtf8 says the body is UTF-8 (converted to
// Windows-1252 and shown from there).
struct TextReading {
    const MailTextDecoder* decoder = nullptr;
    bool classicUtf8 = false;
};

// Appends the lines of a text body in the charset label names. The body's
// lines are read in place and move over: the body is empty afterwards
// unless a stateful charset made the whole text be read at once.
// checkpoint, if set, is called now and then and may raise to stop.
void AppendBodyText(std::vector<std::string>& to, TStringList& body, std::string_view label,
                    const TextReading& reading, const std::function<void()>& checkpoint = {});

// The text page of a mail read only in part (the start of a large file):
// the body of a mail that is not multipart, else its text parts other than
// HTML, separated. Takes the bodies over.
std::vector<std::string> TextPageOf(TIdMessage& mail, const MailTextDecoder* decoder);

}  // namespace view
