#include "shell/qt/windows_registry.h"

#include <QSettings>

#include <stdexcept>

namespace {

QString FromLocal(std::string_view text) { return QString::fromLocal8Bit(text.data(), qsizetype(text.size())); }

QString Joined(const QString& base, const QString& relative) {
    if (base.isEmpty()) return relative;
    if (relative.isEmpty()) return base;
    return base + "\\" + relative;
}

QString Trimmed(QString path) {
    while (path.startsWith('\\')) path.remove(0, 1);
    while (path.endsWith('\\')) path.chop(1);
    return path;
}

}  // namespace

WindowsRegistry::WindowsRegistry() = default;
WindowsRegistry::~WindowsRegistry() = default;

QString WindowsRegistry::RootName() const {
    return root_ == RegistryRoot::ClassesRoot ? QStringLiteral("HKEY_CLASSES_ROOT")
                                              : QStringLiteral("HKEY_CURRENT_USER");
}

void WindowsRegistry::SetRoot(RegistryRoot root) {
    CloseKey();
    root_ = root;
}

bool WindowsRegistry::OpenKey(std::string_view path, bool create) {
    const QString requested = FromLocal(path);
    const QString key = requested.startsWith('\\') ? Trimmed(requested) : Trimmed(Joined(current_, requested));
    QSettings settings(RootName() + "\\" + key, QSettings::NativeFormat);
    // Keys come into being with their first value; what can be refused is
    // the right to write there.
    if (!settings.isWritable()) return false;
    if (!create && settings.childKeys().isEmpty() && settings.childGroups().isEmpty()) return false;
    current_ = key;
    open_ = true;
    return true;
}

void WindowsRegistry::CloseKey() {
    current_.clear();
    open_ = false;
}

void WindowsRegistry::WriteString(std::string_view name, std::string_view value) {
    if (!open_) throw std::runtime_error("No registry key is open");
    QSettings settings(RootName() + "\\" + current_, QSettings::NativeFormat);
    // "." names the key's default value.
    settings.setValue(name.empty() ? QStringLiteral(".") : FromLocal(name), FromLocal(value));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error("Failed to set data for '" + std::string(name) + "'");
}
