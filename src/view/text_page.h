#pragma once
// What the text view (reNachricht) shows for a loaded mail: the body of a
// mail that is not multipart, then the plain texts of all non-HTML text
// parts in file order, separated by the asterisk block; the source of an
// HTML text stands in only while nothing else is there.

#include <string>
#include <vector>

#include "reader/string_list.h"

class TIdMessage;

namespace view {

struct TextPage {
    TStringList lines;
    // Whether any of it went through Utf8ToLocal.
    bool convertedFromUtf8 = false;
};

// Takes over the body lines it shows as they are (a plain body that needs
// no conversion): those bodies are empty afterwards, which spares a large
// mail a second copy of its text.
TextPage BuildTextPage(TIdMessage& mail);

// Appends the lines that setting a text view to body.Text() (converted by
// Utf8ToLocal when utf8) gives, without building that text.
void AppendTextLines(std::vector<std::string>& to, const TStringList& body, bool utf8);

}  // namespace view
