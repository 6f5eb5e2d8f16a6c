#pragma once
// The menu command ".kqv immer mit Mailviewer öffnen" behind one interface:
// freedesktop on this platform, the registry where built for Windows.

#include <functional>
#include <memory>
#include <string>

#include "shell/registration/freedesktop_registration.h"
#include "shell/registration/registry.h"

class FileTypeRegistrar {
public:
    virtual ~FileTypeRegistrar() = default;
    // exePath: the running executable; showMessage: a plain message box.
    virtual void RegisterKqv(const std::string& exePath,
                             const std::function<void(const std::string&)>& showMessage) = 0;
};

class FreedesktopRegistrar final : public FileTypeRegistrar {
public:
    explicit FreedesktopRegistrar(XdgFolders folders) : folders_(std::move(folders)) {}
    void RegisterKqv(const std::string& exePath,
                     const std::function<void(const std::string&)>& showMessage) override;

private:
    XdgFolders folders_;
};

class RegistryRegistrar final : public FileTypeRegistrar {
public:
    explicit RegistryRegistrar(std::unique_ptr<Registry> registry) : registry_(std::move(registry)) {}
    void RegisterKqv(const std::string& exePath,
                     const std::function<void(const std::string&)>& showMessage) override;

private:
    std::unique_ptr<Registry> registry_;
};
