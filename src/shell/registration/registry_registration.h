#pragma once
// Registers the viewer for ".kqv" in a Windows registry.

#include <functional>
#include <string>

#include "shell/registration/registry.h"

// exePath is the full path of the running executable; showMessage shows a
// plain message box.
void RegisterKqvInRegistry(Registry& registry, const std::string& exePath,
                           const std::function<void(const std::string&)>& showMessage);

// The command text: the path in double quotes, a blank, "%1" in double quotes.
std::string RegistryOpenCommand(const std::string& exePath);
