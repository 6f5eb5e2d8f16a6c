#pragma once
// What the view-core fuzz target does with one input, shared with the test
// that replays its findings: the bytes are written to a mail file, shown
// with recording displays, and the core destroyed. Afterwards TempDir holds
// only the content-id files of that mail, each directly inside it, every
// attachment temp file is gone, and beside the mail lies at most the backup
// of a repair.

#include <cstdio>
#include <exception>
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
    std::set<std::string> cidNames;
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
        for (const std::string& path : core.CidFiles()) {
            if (path.size() <= tempDir.size() || path.compare(0, tempDir.size(), tempDir) != 0 ||
                path.find('/', tempDir.size()) != std::string::npos)
                problem = "content-id file outside the temporary folder: " + path;
            else
                cidNames.insert(path.substr(tempDir.size()));
        }
        if (TIdMessage* mail = core.Mail())
            for (int i = 0; i < mail->Parts.Count(); ++i)
                if (auto* file = dynamic_cast<TIdAttachmentFile*>(&mail->Parts.Items(i)))
                    if (file->OwnsTempFile) attachmentFiles.insert(file->TempPath);
    }
    view::SetTempDir(oldTempDir);

    for (const std::string& name : ListDir(tempDir)) {
        if (!cidNames.count(name) && problem.empty()) problem = "temporary file left behind in TempDir: " + name;
        std::remove((tempDir + name).c_str());
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
