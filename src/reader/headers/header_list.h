#pragma once
// One entry per physical header line, folded fields kept as several entries.
// All reading of a header field by name goes through this list.

#include <string>
#include <string_view>

#include "reader/string_list.h"

class TIdHeaderList : public TStringList {
public:
    using TStringList::TStringList;

    std::string HeaderSeparator = ": ";
    bool MatchCase = false;
    bool JoinFolded = true;
    bool WrapOnWrite = true;
    int WrapWidth = 78;

    std::string FieldNameAt(int index) const;
    std::string FieldValueAt(int index) const;
    int FindField(std::string_view name) const;
    std::string ValueOf(std::string_view name) const;
    void PutValue(std::string_view name, std::string_view value);
    void DropContinuations(int index);
    TStringList WrapToLines(std::string_view text) const;
    void WrapAndInsert(std::string_view text, int index);
    void CopyAsNameEquals(TStringList& target) const;
};
