// Test isolation for the settings store: HKEY_LOCAL_MACHINE is mapped onto a
// scratch key of the current user for the life of the object, then deleted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TScratchRegistry {
public:
    // RefuseCreate makes every key below Software refuse to be created (its
    // parent is volatile), as the machine's keys refuse a user without rights.
    explicit TScratchRegistry(bool refuseCreate = false);
    ~TScratchRegistry();
    TScratchRegistry(const TScratchRegistry&) = delete;
    TScratchRegistry& operator=(const TScratchRegistry&) = delete;

    // Lets everyone only read the key (it must exist), as the machine's keys are to a
    // user without rights; the key is writable again when the object goes.
    void DenyWrites(const std::string& key);
    // Writes a string value below the mapped HKEY_LOCAL_MACHINE.
    void Put(const std::string& key, const std::string& name, const std::string& text);
    // The string value, or "<absent>".
    std::string Get(const std::string& key, const std::string& name) const;
    // The value's registry type, or REG_NONE when absent.
    DWORD TypeOf(const std::string& key, const std::string& name) const;
    // The number of values of the key, or -1 when the key is absent.
    int ValueCount(const std::string& key) const;

private:
    // Sets the key's access list: read only for everyone, or (ReadOnly false) no list, which lets anyone in.
    void SetAccess(const std::string& key, bool readOnly);
    std::string path_;
    std::vector<std::string> denied_;
    HKEY scratch_ = nullptr;
};

// The settings key, relative to HKEY_LOCAL_MACHINE.
constexpr char SettingsKeyPath[] = "Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0";
constexpr char SettingsBasePath[] = "Software\\Dravik Electronics\\SONDEL ULTRA";
constexpr char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
