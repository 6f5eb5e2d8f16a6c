#pragma once
// Helpers of the body receive loop (TIdMessageClient::ReadBodyBlock).

#include "reader/string_list.h"

// Removes one empty last line, if there is one.
void DropTrailingEmptyLine(TStringList& list);
