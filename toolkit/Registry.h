// TRegistry: open or create a key under a root, read, write, delete and test string values.
// Key paths starting with "\" are from the root, others from the key open now.
#pragma once

#include "SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

class ERegistryException : public Exception { using Exception::Exception; };

enum class TRegistryRoot { rkClassesRoot, rkCurrentUser, rkLocalMachine, rkUsers };

// Access rights asked for when a key is opened (the platform's values).
namespace RegistryAccess {
constexpr std::uint32_t Read = 0x20019;
constexpr std::uint32_t AllAccess = 0xF003F;
}  // namespace RegistryAccess

class TRegistry {
public:
    explicit TRegistry(std::uint32_t access = RegistryAccess::AllAccess);
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    ~TRegistry();

    TRegistryRoot RootKey() const { return root_; }
    void SetRootKey(TRegistryRoot root);
    const std::string& CurrentPath() const { return path_; }

    // Opens a key (creating it when CanCreate); false when that is refused.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    // Creates a key; raises "Failed to create key <key>" when refused.
    void CreateKey(const std::string& key);
    bool KeyExists(const std::string& key);
    bool DeleteKey(const std::string& key);

    // Empty when the value is absent; raises when it is not text.
    std::string ReadString(const std::string& name);
    // Raises "Failed to set data for '<name>'" when refused.
    void WriteString(const std::string& name, const std::string& value);
    bool ValueExists(const std::string& name);
    // The text data of every string value of the open key, in the key's order.
    std::vector<std::string> ReadStringValues();
    bool DeleteValue(const std::string& name);

private:
    void* RootHandle() const;
    std::string Resolve(const std::string& key) const;
    std::uint32_t access_;
    TRegistryRoot root_ = TRegistryRoot::rkCurrentUser;
    void* current_ = nullptr;
    std::string path_;
};
