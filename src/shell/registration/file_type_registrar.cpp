#include "shell/registration/file_type_registrar.h"

#include "platform/run_program.h"
#include "shell/registration/registry_registration.h"

void FreedesktopRegistrar::RegisterKqv(const std::string& exePath,
                                       const std::function<void(const std::string&)>& showMessage) {
    RegisterKqvWithFreedesktop(folders_, exePath, showMessage, platform::RunProgram);
}

void RegistryRegistrar::RegisterKqv(const std::string& exePath,
                                    const std::function<void(const std::string&)>& showMessage) {
    RegisterKqvInRegistry(*registry_, exePath, showMessage);
}
