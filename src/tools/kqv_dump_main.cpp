// kqv-dump: loads mail files with the viewer's message reader and prints
// what was read as JSON on standard output: one object, or one per line for
// several files.

#include <cstdio>
#include <exception>
#include <unistd.h>

#include "tools/dump_options.h"
#include "tools/model_dump.h"
#include "tools/view_mode.h"

namespace {

int RunViews(const DumpOptions& options) {
    if (!options.batch) return RunViewMode(options);
    int status = 0;
    DumpOptions one = options;
    for (const std::string& file : options.files) {
        one.file = file;
        const int fileStatus = RunViewMode(one);
        if (fileStatus == 2) return 2;  // the temporary folder is unusable for every file
        if (fileStatus != 0) status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    const ParsedCommandLine parsed = ParseDumpCommandLine(argc, argv);
    switch (parsed.action) {
        case ParsedCommandLine::Action::Help:
            PrintUsage(stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case ParsedCommandLine::Action::UsageError:
            std::fprintf(stderr, "kqv-dump: %s\n", parsed.error.c_str());
            std::fputs("Try 'kqv-dump --help' for more information.\n", stderr);
            return 2;
        case ParsedCommandLine::Action::Run:
            break;
    }
    try {
        if (parsed.options.view) return RunViews(parsed.options);
        return RunModelMode(parsed.options, STDOUT_FILENO);
    } catch (const std::exception& e) {  // out of memory while writing, and the like
        std::fprintf(stderr, "kqv-dump: %s\n", e.what());
        return 1;
    }
}
