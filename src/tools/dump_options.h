#pragma once
// Command line of kqv-dump.

#include <cstdio>
#include <string>
#include <vector>

#include "view/charset_choice.h"

struct DumpOptions {
    bool view = false;
    view::CharsetChoice charset;  // --charset; used by the view mode only
    std::string tempDir;          // --temp-dir; used by the view mode only
    std::string saveDir;          // --save-attachments; empty: save nothing
    std::vector<std::string> files;  // in the order given
    std::string file;                // the mail being dumped
    // Several files: each object is one line that starts with "file".
    bool batch = false;
};

struct ParsedCommandLine {
    enum class Action { Run, Help, UsageError };
    Action action = Action::UsageError;
    DumpOptions options;
    std::string error;            // for UsageError: what was wrong
};

ParsedCommandLine ParseDumpCommandLine(int argc, char* argv[]);
void PrintUsage(std::FILE* out);
