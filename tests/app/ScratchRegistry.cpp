// The scratch registry behind HKEY_LOCAL_MACHINE for the settings tests.
#include "ScratchRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

constexpr char ScratchRoot[] = "Software\\SondelAppTests\\";

std::string UniquePath() {
    static std::atomic<int> counter{0};
    return ScratchRoot + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

}  // namespace

TScratchRegistry::TScratchRegistry(bool refuseCreate) : path_(UniquePath()) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the scratch key");
    if (refuseCreate) {
        // A volatile key holds only volatile keys: the settings key cannot be made.
        HKEY software = nullptr;
        if (RegCreateKeyExA(scratch_, "Software", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &software, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the volatile key");
        RegCloseKey(software);
    }
    if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_) != ERROR_SUCCESS)
        throw std::runtime_error("cannot map HKEY_LOCAL_MACHINE");
}

TScratchRegistry::~TScratchRegistry() {
    for (const std::string& key : denied_) SetAccess(key, false);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
}

void TScratchRegistry::DenyWrites(const std::string& key) {
    SetAccess(key, true);
    denied_.push_back(key);
}

void TScratchRegistry::SetAccess(const std::string& key, bool readOnly) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    alignas(ACL) BYTE list[256];
    auto* acl = reinterpret_cast<ACL*>(list);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(acl, sizeof list, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
    SetSecurityDescriptorDacl(&descriptor, TRUE, readOnly ? acl : nullptr, FALSE);
    HKEY handle = nullptr;
    const std::string full = path_ + "\\" + key;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, WRITE_DAC, &handle);
    if (opened == ERROR_SUCCESS) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &descriptor));
        RegCloseKey(handle);
    }
    FreeSid(everyone);
    ASSERT_EQ(ERROR_SUCCESS, opened) << full;
}

void TScratchRegistry::Put(const std::string& key, const std::string& name, const std::string& text) {
    HKEY handle = nullptr;
    const std::string full = path_ + "\\" + key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &handle, nullptr));
    RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
}

std::string TScratchRegistry::Get(const std::string& key, const std::string& name) const {
    char buffer[1024];
    DWORD size = sizeof buffer;
    const std::string full = path_ + "\\" + key;
    if (RegGetValueA(HKEY_CURRENT_USER, full.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return "<absent>";
    return buffer;
}

DWORD TScratchRegistry::TypeOf(const std::string& key, const std::string& name) const {
    DWORD type = REG_NONE;
    const std::string full = path_ + "\\" + key;
    if (RegGetValueA(HKEY_CURRENT_USER, full.c_str(), name.c_str(), RRF_RT_ANY, &type, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return REG_NONE;
    return type;
}

int TScratchRegistry::ValueCount(const std::string& key) const {
    HKEY handle = nullptr;
    const std::string full = path_ + "\\" + key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(handle);
    return static_cast<int>(values);
}
