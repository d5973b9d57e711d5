// The program's settings as registry string values under HKEY_LOCAL_MACHINE.
#include "SettingsStore.h"

#include "Registry.h"
#include "Win.h"

#include <cstdint>
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

// The value Name of Key, or AbsentText when the key or the value is absent. A key
// that refuses full access (a user without write rights) is still read: its values
// are the settings in force, and reading them as absent would switch the carrier off.
std::string ReadValue(const std::string& key, const std::string& name) {
    for (const std::uint32_t access : {RegistryAccess::AllAccess, RegistryAccess::Read}) {
        TRegistry registry(access);
        registry.SetRootKey(TRegistryRoot::rkLocalMachine);
        if (registry.OpenKey(key, false)) return registry.ValueExists(name) ? registry.ReadString(name) : AbsentText;
    }
    return AbsentText;
}

// Converts the text of the value Name, naming the value when it does not convert.
template <typename Convert>
auto ReadConverted(const std::string& name, Convert convert) {
    const std::string text = ReadSetting(name);
    try {
        return convert(text);
    } catch (const EConvertError& error) {
        throw EMalformedSetting(error.what(), name, text == AbsentText);
    }
}

}  // namespace

namespace {
TRefusedWriteHandler refusedWriteHandler;
}

void WriteSetting(const std::string& name, const std::string& subKey, const std::string& text) {
    try {
        TMachineRegistry registry;
        OpenOrCreate(registry, std::string(SettingsBaseKey) + subKey);
        registry.WriteString(name, text);
    } catch (const ERegistryException& error) {
        if (refusedWriteHandler) refusedWriteHandler(name, text, error.what());
        throw;
    }
}

void OnRefusedWrite(TRefusedWriteHandler handler) { refusedWriteHandler = std::move(handler); }

std::string ReadSetting(const std::string& name) { return ReadValue(SettingsKey(), name); }

std::string ReadSettingOrEmpty(const std::string& name) {
    const std::string stored = ReadSetting(name);
    return stored == AbsentText ? std::string() : stored;
}

int ReadIntegerSetting(const std::string& name) {
    return ReadConverted(name, [](const std::string& text) { return StrToInt(text); });
}

TColor ReadColorSetting(const std::string& name) {
    return ReadConverted(name, [](const std::string& text) { return StringToColor(text); });
}

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
