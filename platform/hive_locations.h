// Where the two settings hives live.
//
//   per-user:     $XDG_CONFIG_HOME/<company>/user.reg   (default ~/.config)
//   machine-wide: /etc/<company>/machine.reg, or, when that folder cannot be
//                 written and holds no hive yet, a per-user copy
//                 $XDG_CONFIG_HOME/<company>/machine.reg
//
// DRAVIK_CONFIG_DIR, when set, holds both hives (user.reg, machine.reg) in
// that one folder; tests use it so they never touch the user's files.
// The locations are worked out anew on every call, so a change of the
// environment takes effect at once.
#pragma once

#include <string>

namespace dravik::platform {

inline constexpr const char* kConfigDirVariable = "DRAVIK_CONFIG_DIR";

struct HiveLocations {
    std::string userHive;
    std::string machineHive;
};

HiveLocations CurrentHiveLocations();

// The machine hive given the system folder (/etc/<company>) and the user's
// settings folder: the system copy when it exists (writable or not) or when
// it could be created or written; otherwise the user's copy.
std::string ChooseMachineHive(const std::string& systemFolder, const std::string& userFolder);

// The per-user settings folder: $XDG_CONFIG_HOME/<company>, falling back to
// $HOME/.config/<company> when XDG_CONFIG_HOME is unset or not absolute.
std::string UserSettingsFolder();

}  // namespace dravik::platform
