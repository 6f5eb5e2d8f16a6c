#pragma once
// Attachments that are programs: handing one to the desktop could start
// it, so the view only lets the user save it. And names that hide their
// real extension behind line breaks or blanks are listed with those
// characters made visible.

#include <string>
#include <string_view>

namespace view {

// How many bytes of the content IsProgram looks at.
inline constexpr std::size_t kProgramSniffBytes = 4096;

// name: local text as the mail gives it; start: the first bytes of the
// content. True for desktop entries, scripts and executables by the real
// extension of the name or by what the content starts with.
bool IsProgram(std::string_view name, std::string_view start);

// The name with line breaks shown as "\xB6", other control characters as
// "\xA4" and the blanks of a run of two or more, or at either end, as
// "\xB7" (local text).
std::string VisibleName(std::string_view name);

}  // namespace view
