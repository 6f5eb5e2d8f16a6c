// The view core on arbitrary file bytes, with a temporary TempDir.
// needs: kqv_view

#include <cstdlib>
#include <filesystem>

#include "fuzz_view_walk.h"

namespace {

struct Folders {
    std::string mailDir;
    std::string tempDir;
    std::string attachDir;  // the reader's default attachment folder
};

const Folders& Scratch() {
    static const Folders folders = [] {
        const std::string& root = fuzz::ScratchDir();
        Folders f{root + "mail/", root + "temp/", root + "attach/"};
        for (const std::string* dir : {&f.mailDir, &f.tempDir, &f.attachDir})
            std::filesystem::create_directories(*dir);
        // Read once, at the first load: the view's messages store their
        // attachments there.
        setenv("TMPDIR", f.attachDir.c_str(), 1);
        return f;
    }();
    return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Folders& f = Scratch();
    fuzz::RequireNoProblem(
        fuzz::ChangeMailWalk(std::string_view(reinterpret_cast<const char*>(data), size), f.mailDir, f.tempDir));
    const auto left = fuzz::ListDir(f.attachDir);
    if (!left.empty()) fuzz::RequireNoProblem("attachment temp file left behind: " + left.front());
    return 0;
}
