#include "tools/dump_options.h"

#include <getopt.h>

#include <optional>

namespace {

enum OptionId { kView = 1, kCharset, kTempDir, kSaveAttachments, kHelp };

const option kLongOptions[] = {
    {"view", no_argument, nullptr, kView},
    {"charset", required_argument, nullptr, kCharset},
    {"temp-dir", required_argument, nullptr, kTempDir},
    {"save-attachments", required_argument, nullptr, kSaveAttachments},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

ParsedCommandLine ParseDumpCommandLine(int argc, char* argv[]) {
    ParsedCommandLine result;
    bool help = false;
    bool tempGiven = false;
    bool saveGiven = false;
    const char* charset = nullptr;
    // getopt keeps its state in globals; start afresh so that the parser can
    // be called more than once in one process.
    optind = 0;
    opterr = 0;
    for (;;) {
        optopt = 0;
        const int id = getopt_long(argc, argv, ":h", kLongOptions, nullptr);
        if (id == -1) break;
        switch (id) {
            case kView: result.options.view = true; break;
            case kCharset: charset = optarg; break;
            case kTempDir:
                result.options.tempDir = optarg;
                tempGiven = true;
                break;
            case kSaveAttachments:
                result.options.saveDir = optarg;
                saveGiven = true;
                break;
            case kHelp:
            case 'h': help = true; break;
            case ':':
                result.error = std::string("option needs a value: ") + argv[optind - 1];
                return result;
            default:
                result.error = "unknown option: ";
                if (optopt > ' ' && optopt < 127)  // a short option letter
                    result.error += std::string("-") + static_cast<char>(optopt);
                else
                    result.error += argv[optind - 1];
                return result;
        }
    }
    if (help) {
        result.action = ParsedCommandLine::Action::Help;
        return result;
    }
    if (optind >= argc) {
        result.error = "no mail file given";
        return result;
    }
    result.options.files.assign(argv + optind, argv + argc);
    result.options.file = result.options.files.front();
    result.options.batch = result.options.files.size() > 1;
    if (saveGiven && result.options.saveDir.empty()) {
        result.error = "--save-attachments needs a folder name";
        return result;
    }
    if (tempGiven && result.options.tempDir.empty()) {
        result.error = "--temp-dir needs a folder name";
        return result;
    }
    if (charset) {
        if (!result.options.view) {
            result.error = "--charset needs --view";
            return result;
        }
        const std::optional<view::CharsetChoice> choice = view::CharsetChoiceNamed(charset);
        if (!choice) {
            result.error = std::string("unknown charset: ") + charset;
            return result;
        }
        result.options.charset = *choice;
    }
    result.action = ParsedCommandLine::Action::Run;
    return result;
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: kqv-dump [--view] [--temp-dir DIR] [--save-attachments DIR] FILE...\n"
        "\n"
        "Loads the mail file FILE and prints what was read as one JSON object.\n"
        "With several files, prints one object per line (JSON Lines), in the\n"
        "order given, each starting with \"file\": the file as given. A file that\n"
        "fails gives its object with \"error\", and the others still follow.\n"
        "\n"
        "  --view                   print what the mail view shows instead of the\n"
        "                           message model\n"
        "  --charset CHARSET        with --view: read the mail's text as the viewer's\n"
        "                           menu does: auto (the default: each text in the\n"
        "                           charset it declares), classic (Windows-1252, as\n"
        "                           the classic program), or a charset label such as\n"
        "                           koi8-r for all of it\n"
        "  --temp-dir DIR           with --view: the view's temporary folder\n"
        "                           (created if missing)\n"
        "  --save-attachments DIR   also copy every attachment into DIR (created if\n"
        "                           missing) under a safe, unused name; with several\n"
        "                           files into DIR/1, DIR/2, ... by their position\n"
        "  -h, --help               show this help\n"
        "\n"
        "Exit status: 0 loaded, 1 loading failed (see \"error\"; with several files:\n"
        "any of them), 2 usage error.\n",
        out);
}
