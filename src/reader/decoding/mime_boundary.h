#pragma once
// Boundaries of the multiparts being read, innermost on top, each with the
// index of the part it belongs to (-1 for the message itself).

#include <string>
#include <string_view>
#include <vector>

class TIdMIMEBoundary {
public:
    void PushBoundary(std::string boundary, int parentPart);
    void PopBoundary();  // nothing on an empty stack
    void ClearBoundaries();
    int BoundaryCount() const;
    std::string CurrentBoundary() const;
    // The same without a copy, for the per-line checks; valid until the
    // stack changes.
    const std::string& CurrentBoundaryRef() const;
    int CurrentParentPart() const;
    static std::string ExtractBoundary(std::string_view contentTypeValue);

private:
    struct Entry {
        std::string boundary;
        int parentPart;
    };
    std::vector<Entry> entries_;  // back() is the top
};
