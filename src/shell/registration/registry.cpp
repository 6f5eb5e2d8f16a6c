#include "shell/registration/registry.h"

#include <stdexcept>

#include "platform/codepage.h"

namespace {
const char* RootName(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}
}  // namespace

std::string InMemoryRegistry::Normalise(std::string_view path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string InMemoryRegistry::FullKey(RegistryRoot root, std::string_view key) const {
    return platform::UpperCaseLocale(std::string(RootName(root)) + "\\" + Normalise(key));
}

bool InMemoryRegistry::Denied(RegistryRoot root, std::string_view key) const {
    const std::string full = FullKey(root, key);
    for (const auto& [r, prefix] : denied_) {
        const std::string deniedKey = FullKey(r, prefix);
        if (full.compare(0, deniedKey.size(), deniedKey) == 0) return true;
    }
    return false;
}

void InMemoryRegistry::SetRoot(RegistryRoot root) {
    CloseKey();
    root_ = root;
}

bool InMemoryRegistry::OpenKey(std::string_view path, bool create) {
    std::string key;
    if (!path.empty() && path.front() == '\\') {
        key = Normalise(path);
    } else {
        key = Normalise((current_ ? *current_ + "\\" : std::string()) + std::string(path));
    }
    if (Denied(root_, key)) return false;
    const std::string full = FullKey(root_, key);
    if (!keys_.count(full)) {
        if (!create) return false;
        keys_[full];
    }
    current_ = key;
    return true;
}

void InMemoryRegistry::CloseKey() { current_.reset(); }

void InMemoryRegistry::WriteString(std::string_view name, std::string_view value) {
    if (!current_) throw std::runtime_error("No registry key is open");
    if (failWrites_) throw std::runtime_error("Failed to set data for '" + std::string(name) + "'");
    keys_[FullKey(root_, *current_)][platform::UpperCaseLocale(name)] = std::string(value);
}

std::optional<std::string> InMemoryRegistry::Value(RegistryRoot root, std::string_view key,
                                                   std::string_view name) const {
    const auto k = keys_.find(FullKey(root, key));
    if (k == keys_.end()) return std::nullopt;
    const auto v = k->second.find(platform::UpperCaseLocale(name));
    if (v == k->second.end()) return std::nullopt;
    return v->second;
}

bool InMemoryRegistry::HasKey(RegistryRoot root, std::string_view key) const {
    return keys_.count(FullKey(root, key)) != 0;
}

std::map<std::string, std::map<std::string, std::string>> InMemoryRegistry::Dump() const { return keys_; }
