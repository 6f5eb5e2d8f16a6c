#pragma once
// The Windows registry as the file-type registration uses it: open or create
// a key by an absolute path (leading backslash) or one relative to the key
// opened last, write string values, switch the root.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class RegistryRoot { ClassesRoot, CurrentUser };

class Registry {
public:
    virtual ~Registry() = default;
    virtual void SetRoot(RegistryRoot root) = 0;
    // False when the key cannot be opened or created.
    virtual bool OpenKey(std::string_view path, bool create) = 0;
    virtual void CloseKey() = 0;
    // An empty name writes the key's default value. Raises on failure.
    virtual void WriteString(std::string_view name, std::string_view value) = 0;
};

// A registry in memory: what the registration writes on Windows, testable
// everywhere. Keys are compared without regard to letter case, as there.
class InMemoryRegistry final : public Registry {
public:
    void SetRoot(RegistryRoot root) override;
    bool OpenKey(std::string_view path, bool create) override;
    void CloseKey() override;
    void WriteString(std::string_view name, std::string_view value) override;

    // Keys that refuse to open (prefix match on the full path, with root).
    void DenyKeysUnder(RegistryRoot root, std::string path) { denied_.push_back({root, std::move(path)}); }
    // Writes that raise, to test the swallowing of errors.
    void FailWrites(bool fail) { failWrites_ = fail; }

    std::optional<std::string> Value(RegistryRoot root, std::string_view key, std::string_view name) const;
    bool HasKey(RegistryRoot root, std::string_view key) const;
    // "ROOT\key" -> name -> value, for whole-state comparisons.
    std::map<std::string, std::map<std::string, std::string>> Dump() const;

private:
    static std::string Normalise(std::string_view path);
    std::string FullKey(RegistryRoot root, std::string_view key) const;
    bool Denied(RegistryRoot root, std::string_view key) const;

    RegistryRoot root_ = RegistryRoot::ClassesRoot;
    std::optional<std::string> current_;  // normalised path without root
    std::map<std::string, std::map<std::string, std::string>> keys_;  // FullKey -> values
    std::vector<std::pair<RegistryRoot, std::string>> denied_;
    bool failWrites_ = false;
};
