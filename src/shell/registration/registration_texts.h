#pragma once

inline constexpr const char* kRegistrationSucceeded = "Dateiendung konnte erfolgreich registriert werden.";
