#pragma once
// What the view-core fuzz target does with one input, shared with the test
// that replays its findings: the bytes are written to a mail file, shown
// with recording displays, and the core destroyed. Every content-id file
// lay directly inside the mail's own folder in TempDir; afterwards TempDir
// is empty, every attachment temp file is gone, and beside the mail lies at
// most the backup of a repair.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "reader/message/message.h"
#include "view/mail_view_core.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

namespace fuzz {

// mailDir and tempDir end with "/" and exist; both are left empty.
inline std::string ChangeMailWalk(std::string_view bytes, const std::string& mailDir, const std::string& tempDir) {
    const std::string mailFile = mailDir + "mail.kqv";
    {
        std::ofstream out(mailFile, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return "cannot write " + mailFile;
    }
    const std::string oldTempDir = view::TempDir();
    view::SetTempDir(tempDir);

    std::string problem;
    std::set<std::string> attachmentFiles;
    {
        view::RecordingDisplays displays;
        view::RecordingHtmlView html;
        view::RecordingMessageBoxes boxes;
        view::ScriptedSaveDialog saveDialog;
        view::RecordingShell shell;
        view::MailViewCore core({displays, html, boxes, saveDialog, shell});
        core.MailFileName = mailFile;
        try {
            core.ChangeMail();
        } catch (const std::exception&) {
            // File-system errors go to the application's handler.
        }
        const std::string folder = core.MailFolder();
        if (!folder.empty() && (!folder.starts_with(tempDir) || folder.find('/', tempDir.size()) != folder.size() - 1))
            problem = "mail folder outside the temporary folder: " + folder;
        for (const std::string& path : core.CidFiles())
            if (path.size() <= folder.size() || !path.starts_with(folder) ||
                path.find('/', folder.size()) != std::string::npos)
                problem = "content-id file outside the mail's folder: " + path;
        if (TIdMessage* mail = core.Mail())
            for (int i = 0; i < mail->Parts.Count(); ++i)
                if (auto* file = dynamic_cast<TIdAttachmentFile*>(&mail->Parts.Items(i)))
                    if (file->OwnsTempFile) attachmentFiles.insert(file->TempPath);
    }
    view::SetTempDir(oldTempDir);

    for (const std::string& name : ListDir(tempDir)) {
        if (problem.empty()) problem = "temporary file left behind in TempDir: " + name;
        std::error_code ec;
        std::filesystem::remove_all(tempDir + name, ec);
    }
    for (const std::string& path : attachmentFiles) {
        if (std::ifstream(path).good() && problem.empty()) problem = "attachment temp file left behind: " + path;
        std::remove(path.c_str());
    }
    for (const std::string& name : ListDir(mailDir)) {
        // A repair keeps the original as mail.kqv.bak on purpose.
        if (name != "mail.kqv" && name != "mail.kqv.bak" && problem.empty())
            problem = "file left beside the mail: " + name;
        std::remove((mailDir + name).c_str());
    }
    return problem;
}

}  // namespace fuzz
