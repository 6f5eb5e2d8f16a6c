#include "view/page_files.h"

#include "platform/files.h"

namespace view {

PageFileUse ContentIdFileUse(std::string_view start) {
    const bool webp = start.size() >= 12 && start.starts_with("RIFF") && start.substr(8, 4) == "WEBP";
    const bool raster = start.starts_with("\x89PNG") || start.starts_with("GIF8") || start.starts_with("\xFF\xD8\xFF") ||
                        start.starts_with("BM") || webp || start.starts_with(std::string_view("\0\0\1\0", 4));
    return raster ? PageFileUse::pfDocument : PageFileUse::pfResource;
}

PageFiles::PageFiles(const std::string& folder) : resolvedFolder_(platform::ResolvedPath(folder)) {
    if (!resolvedFolder_.empty()) resolvedFolder_ += '/';
}

void PageFiles::Add(const std::string& name, PageFileUse use) {
    if (resolvedFolder_.empty() || use == PageFileUse::pfNone) return;
    const std::lock_guard lock(mutex_);
    uses_[resolvedFolder_ + name] = use;
}

PageFileUse PageFiles::Use(const std::string& path) const {
    const std::string resolved = platform::ResolvedPath(path);
    if (resolved.empty()) return PageFileUse::pfNone;
    const std::lock_guard lock(mutex_);
    const auto it = uses_.find(resolved);
    return it == uses_.end() ? PageFileUse::pfNone : it->second;
}

}  // namespace view
