#pragma once
// How the shell decides which file to show: the ".kqv" test shared by the
// command line, the open dialog and dropped files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The extension (from the last "." after the last "/", "\" or ":") compared
// with ".KQV", only a to z upper-cased.
bool HasKqvExtension(std::string_view fileName);

// The first dropped name that passes the test, in drop order. Each name is
// read as the classic drop buffer did: at most 255 characters.
std::optional<std::string> FirstDroppedMailFile(const std::vector<std::string>& names);

// The first argument after the program name, if any; further ones are ignored.
std::optional<std::string> CommandLineMailFile(const std::vector<std::string>& args);
