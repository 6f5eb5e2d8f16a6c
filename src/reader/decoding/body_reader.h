#pragma once
// Helpers of the body receive loop (TIdMessageClient::ReadBodyBlock).

#include "reader/line_store.h"

// Removes one empty last line, if there is one.
void DropTrailingEmptyLine(TLineStore& lines);
