// The view core on arbitrary file bytes: the mail is written to a file,
// shown with recording displays and the core destroyed. Afterwards the
// temporary folder holds only the content-id files of that mail, every one
// of them directly inside it, and the attachment folder is empty.
// needs: kqv_view

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "view/mail_view_core.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

namespace {

struct Folders {
    std::string mailDir;    // the mail file and what a repair leaves beside it
    std::string tempDir;    // the view's TempDir
    std::string attachDir;  // the reader's attachment temp files (TMPDIR)
};

const Folders& Scratch() {
    static const Folders folders = [] {
        const std::string& root = fuzz::ScratchDir();
        Folders f{root + "mail/", root + "temp/", root + "attach/"};
        for (const std::string* dir : {&f.mailDir, &f.tempDir, &f.attachDir})
            std::filesystem::create_directories(*dir);
        // The reader fetches its default attachment folder once, from TMPDIR.
        setenv("TMPDIR", f.attachDir.c_str(), 1);
        view::SetTempDir(f.tempDir);
        return f;
    }();
    return folders;
}

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Folders& f = Scratch();
    const std::string mailFile = f.mailDir + "mail.kqv";
    {
        std::ofstream out(mailFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) Finding("cannot write the mail file");
    }

    std::set<std::string> cidNames;
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
            if (path.compare(0, f.tempDir.size(), f.tempDir) != 0 ||
                path.find('/', f.tempDir.size()) != std::string::npos || path.size() == f.tempDir.size())
                Finding("content-id file outside the temporary folder: " + path);
            cidNames.insert(path.substr(f.tempDir.size()));
        }
    }

    for (const std::string& name : fuzz::ListDir(f.tempDir)) {
        if (!cidNames.count(name)) Finding("temporary file left behind in TempDir: " + name);
        std::remove((f.tempDir + name).c_str());
    }
    fuzz::RequireEmpty(f.attachDir);
    for (const std::string& name : fuzz::ListDir(f.mailDir)) {
        // A repair keeps the original as mail.kqv.bak on purpose.
        if (name != "mail.kqv" && name != "mail.kqv.bak") Finding("file left beside the mail: " + name);
        std::remove((f.mailDir + name).c_str());
    }
    return 0;
}
