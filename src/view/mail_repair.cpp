#include "view/mail_repair.h"

#include <memory>
#include <system_error>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "reader/message/message.h"
#include "view/text_rules.h"

namespace view {
namespace {

constexpr std::string_view kBoundaryParameter = "; boundary=\"----- Start of text attachment -------\"";

// A fresh file beside the mail file for the new content.
std::unique_ptr<platform::TextFileWriter> CreateSibling(const std::string& mailFileName, std::string& path) {
    for (int n = 0;; ++n) {
        path = mailFileName + ".repair" + std::to_string(n) + ".tmp";
        try {
            return std::make_unique<platform::TextFileWriter>(path);
        } catch (const std::system_error& e) {
            if (e.code() != std::errc::file_exists || n >= 999) throw;
        }
    }
}

// The marker holds no line break, so a search line by line finds it as the
// whole text would, without joining a body that may be large.
bool BodyHasMarker(const TIdMessage& mail) {
    for (std::string_view line : mail.Body)
        if (line.find(kStartOfTextAttachment) != std::string_view::npos) return true;
    return false;
}

}  // namespace

bool NeedsRepair(const TIdMessage& mail, const std::string& mailFileName) {
    return ContainsUpper(mail.Headers.ValueOf("Content-Type"), "MULTIPART") &&
           mail.Parts.Count() == 0 && BodyHasMarker(mail) && !platform::FileExists(mailFileName + ".bak");
}

void RepairMailFile(const std::string& mailFileName, const std::function<void()>& repaint) {
    const std::string backup = mailFileName + ".bak";
    const mode_t mode = platform::FileMode(mailFileName);
    platform::CopyFileExclusive(mailFileName, backup, mode);
    if (repaint) repaint();

    std::string sibling;
    auto writer = CreateSibling(mailFileName, sibling);
    try {
        platform::TextFileReader reader(backup);
        std::string line;
        bool beforeMarker = true;
        while (reader.ReadLine(line)) {
            if (beforeMarker) {
                if (ContainsUpper(line, "CONTENT-TYPE")) line += kBoundaryParameter;
                writer->WriteLine(line);
                if (line == kStartOfTextAttachment) beforeMarker = false;
            } else if (line.find(kEndOfTextAttachment) == std::string::npos) {
                writer->WriteLine(line);
            }
        }
        writer->Close();
        platform::SetFileMode(sibling, mode);
        platform::RenameFile(sibling, mailFileName);
    } catch (...) {
        writer.reset();
        platform::DeleteFile(sibling);
        throw;
    }
}

}  // namespace view
