#include "shell/startup/mail_file_choice.h"

#include "platform/codepage.h"

bool HasKqvExtension(std::string_view fileName) {
    const auto lastSeparator = fileName.find_last_of("/\\:");
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (lastSeparator != std::string_view::npos && dot < lastSeparator))
        return false;
    return platform::UpperCaseAscii(fileName.substr(dot)) == ".KQV";
}

std::optional<std::string> FirstDroppedMailFile(const std::vector<std::string>& names) {
    constexpr std::size_t kDropBufferChars = 255;
    for (const auto& name : names) {
        std::string taken = name.substr(0, kDropBufferChars);
        if (HasKqvExtension(taken)) return taken;
    }
    return std::nullopt;
}

std::optional<std::string> CommandLineMailFile(const std::vector<std::string>& args) {
    if (args.size() < 2) return std::nullopt;
    return args[1];
}
