// Registry access over the platform's registry calls.
#include "Registry.h"

#include "Win.h"

#include <algorithm>
#include <vector>

namespace {
constexpr DWORD kMaxValueBytes = 1u << 20;  // text settings are short; refuse anything huge

HKEY Key(void* handle) { return static_cast<HKEY>(handle); }
}  // namespace

TRegistry::TRegistry(std::uint32_t access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(TRegistryRoot root) {
    CloseKey();
    root_ = root;
}

void* TRegistry::RootHandle() const {
    switch (root_) {
    case TRegistryRoot::rkClassesRoot: return HKEY_CLASSES_ROOT;
    case TRegistryRoot::rkLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegistryRoot::rkUsers: return HKEY_USERS;
    case TRegistryRoot::rkCurrentUser: break;
    }
    return HKEY_CURRENT_USER;
}

std::string TRegistry::Resolve(const std::string& key) const {
    std::string path = !key.empty() && key[0] == '\\' ? key.substr(1)
                       : path_.empty()                ? key
                                                      : path_ + "\\" + key;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::string path = Resolve(key);
    HKEY opened = nullptr;
    LONG result = canCreate ? RegCreateKeyExA(Key(RootHandle()), path.c_str(), 0, nullptr, 0, access_, nullptr,
                                              &opened, nullptr)
                            : RegOpenKeyExA(Key(RootHandle()), path.c_str(), 0, access_, &opened);
    if (result != ERROR_SUCCESS) return false;
    CloseKey();
    current_ = opened;
    path_ = path;
    return true;
}

void TRegistry::CloseKey() {
    if (current_) RegCloseKey(Key(current_));
    current_ = nullptr;
    path_.clear();
}

void TRegistry::CreateKey(const std::string& key) {
    HKEY created = nullptr;
    LONG result = RegCreateKeyExA(Key(RootHandle()), Resolve(key).c_str(), 0, nullptr, 0, access_, nullptr, &created,
                                  nullptr);
    if (result != ERROR_SUCCESS) throw ERegistryException("Failed to create key " + key);
    RegCloseKey(created);
}

bool TRegistry::KeyExists(const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(Key(RootHandle()), Resolve(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
    return RegDeleteKeyA(Key(RootHandle()), Resolve(key).c_str()) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) {
    if (!current_) return std::string();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(Key(current_), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::string();
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxValueBytes)
        throw ERegistryException("Invalid data type for '" + name + "'");
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(Key(current_), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return std::string();
    buffer[size < buffer.size() ? size : buffer.size() - 1] = '\0';
    return std::string(buffer.data());
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    LONG result = current_ ? RegSetValueExA(Key(current_), name.c_str(), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1))
                           : ERROR_INVALID_HANDLE;
    if (result != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + name + "'");
}

bool TRegistry::ValueExists(const std::string& name) {
    return current_ && RegQueryValueExA(Key(current_), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name) {
    return current_ && RegDeleteValueA(Key(current_), name.c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> TRegistry::ReadStringValues() {
    std::vector<std::string> texts;
    if (!current_) return texts;
    constexpr DWORD maxNameChars = 16384;
    constexpr DWORD maxDataBytes = 4096;
    std::vector<char> name(maxNameChars);
    std::vector<char> data(maxDataBytes + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = maxNameChars;
        DWORD dataBytes = maxDataBytes;
        DWORD type = 0;
        const LONG result = RegEnumValueA(Key(current_), index, name.data(), &nameChars, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value too long for a port's name is no port's.
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        data[std::min(dataBytes, maxDataBytes)] = '\0';
        texts.emplace_back(data.data());
    }
    return texts;
}
