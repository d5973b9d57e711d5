// The program's settings as registry string values under HKEY_LOCAL_MACHINE.
#include "SettingsStore.h"

#include "Registry.h"
#include "Win.h"

#include <vector>

namespace SettingsStore {

const char* const SettingsBaseKey = "\\Software\\Dravik Electronics\\SONDEL ULTRA\\";
const char* const SettingsSubKey = "v2.0";
const char* const RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const RunValueName = "SONDEL ULTRA 3.0";
const char* const AbsentText = "empty";
const char* const YesText = "Yes";
const char* const NoText = "No";

namespace {

std::string SettingsKey() { return std::string(SettingsBaseKey) + SettingsSubKey + "\\"; }

// A registry with full access under HKEY_LOCAL_MACHINE.
struct TMachineRegistry : TRegistry {
    TMachineRegistry() : TRegistry(RegistryAccess::AllAccess) { SetRootKey(TRegistryRoot::rkLocalMachine); }
};

// Opens Key, creating it when missing; raises "Failed to create key <key>" when refused.
void OpenOrCreate(TRegistry& registry, const std::string& key) {
    if (!registry.OpenKey(key, true)) throw ERegistryException("Failed to create key " + key);
}

// The full path of the running program.
std::string ProgramPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw Exception(SysErrorMessage(GetLastError()));
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}

// The value Name of Key, or AbsentText when the key or the value is absent
// (or the key cannot be opened with full access).
std::string ReadValue(const std::string& key, const std::string& name) {
    TMachineRegistry registry;
    if (!registry.OpenKey(key, false) || !registry.ValueExists(name)) return AbsentText;
    return registry.ReadString(name);
}

}  // namespace

void WriteSetting(const std::string& name, const std::string& subKey, const std::string& text) {
    TMachineRegistry registry;
    OpenOrCreate(registry, std::string(SettingsBaseKey) + subKey);
    registry.WriteString(name, text);
}

std::string ReadSetting(const std::string& name) { return ReadValue(SettingsKey(), name); }

void SeedSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    TMachineRegistry registry;
    OpenOrCreate(registry, std::string(SettingsBaseKey) + SettingsSubKey);
    for (const auto& [name, text] : values)
        if (!registry.ValueExists(name)) registry.WriteString(name, text);
}

std::string ReadAutostartEntry() { return ReadValue(RunKey, RunValueName); }

void SetAutostart(bool enable) {
    TMachineRegistry registry;
    if (enable) {
        OpenOrCreate(registry, RunKey);
        // Quoted, so that a path with spaces starts this program and not a prefix of it.
        registry.WriteString(RunValueName, "\"" + ProgramPath() + "\"");
    } else if (registry.OpenKey(RunKey, false) && registry.ValueExists(RunValueName)) {
        registry.DeleteValue(RunValueName);
    }
}

bool IsSet(const std::string& flag) { return flag == YesText; }

std::string FlagText(bool set) { return set ? YesText : NoText; }

}  // namespace SettingsStore
