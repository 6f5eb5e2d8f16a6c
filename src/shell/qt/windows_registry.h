#pragma once
// The Windows registry through Qt's native settings; built on Windows only.

#include <QString>

#include <memory>
#include <string>
#include <string_view>

#include "shell/registration/registry.h"

class QSettings;

class WindowsRegistry final : public Registry {
public:
    WindowsRegistry();
    ~WindowsRegistry() override;

    void SetRoot(RegistryRoot root) override;
    bool OpenKey(std::string_view path, bool create) override;
    void CloseKey() override;
    void WriteString(std::string_view name, std::string_view value) override;

private:
    QString RootName() const;

    RegistryRoot root_ = RegistryRoot::ClassesRoot;
    QString current_;  // path below the root, without leading backslash
    bool open_ = false;
};
