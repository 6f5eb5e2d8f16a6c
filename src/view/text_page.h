#pragma once
// What the text view (reNachricht) shows of a text body: the lines that the
// whole text, decoded and split, would give, made line by line where the
// charset allows it, so that a large mail needs no second and third copy
// of its text and its reading can be abandoned at any point.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/line_store.h"
#include "view/joined_text.h"

class TIdMessage;

namespace view {

class MailTextDecoder;

// Appends the separator of two text parts, with an empty line on either
// side, when text holds a text.
void SeparateFromTextBefore(JoinedText& text);

// How the text is read: decoder for the Unicode view, nullptr for the
// classic one, where classicUtf8 says the body is UTF-8 (converted to
// Windows-1252 and shown from there).
struct TextReading {
    const MailTextDecoder* decoder = nullptr;
    bool classicUtf8 = false;
};

// Appends the lines of a text body in the charset label names, line by
// line: the body is emptied afterwards unless a stateful charset made the
// whole text be read at once. checkpoint, if set, is called now and then
// and may raise to stop.
void AppendBodyText(JoinedText& to, TLineStore& body, std::string_view label,
                    const TextReading& reading, const std::function<void()>& checkpoint = {});

// The text page of a mail read only in part (the start of a large file):
// the body of a mail that is not multipart, else its text parts other than
// HTML, separated. Takes the bodies over.
JoinedText TextPageOf(TIdMessage& mail, const MailTextDecoder* decoder);

}  // namespace view
