#pragma once
// The files one mail page may load: the page itself and the content-id
// files its mail wrote, nothing else. Known by resolved path (links, "."
// and ".." resolved first), so no spelling of a path and no link reaches
// another file. The core adds files while it shows the mail; the HTML view
// asks while it loads, possibly from another thread.

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace view {

enum class PageFileUse {
    pfNone,      // not one of the page's files
    pfResource,  // an image, style sheet, font or media file of the page
    pfDocument,  // may also be shown as a document (page, frame, object)
};

// How many bytes ContentIdFileUse looks at.
inline constexpr std::size_t kContentSniffBytes = 16;

// A content-id file may be shown as a document only when it is a raster
// image, which the engine can never take for XML and so never transforms
// with a style sheet; anything else serves the page as a resource.
PageFileUse ContentIdFileUse(std::string_view start);

class PageFiles {
public:
    // folder: the mail's own folder, which exists.
    explicit PageFiles(const std::string& folder);

    // name: a file in the folder, written by the view.
    void Add(const std::string& name, PageFileUse use);
    // How the file at path (as the HTML view names it) may be used.
    PageFileUse Use(const std::string& path) const;

private:
    std::string resolvedFolder_;  // ends with "/"
    mutable std::mutex mutex_;
    std::map<std::string, PageFileUse> uses_;  // by resolved path
};

}  // namespace view
