// The settings store against a scratch HKEY_LOCAL_MACHINE: the texts stored,
// "empty" for absent values, exact "Yes", seeding, the Run entry and the error
// when the key cannot be created.
#include "ScratchRegistry.h"
#include "SettingsStore.h"

#include "SysUtils.h"

#include <gtest/gtest.h>

using namespace SettingsStore;

TEST(SettingsStore, WritesStringValuesIntoTheVersionKey) {
    TScratchRegistry registry;
    WriteSetting("Freq", "v2.0", "101.300MHz");
    WriteSetting("Power", "v2.0", "7");
    EXPECT_EQ("101.300MHz", registry.Get(SettingsKeyPath, "Freq"));
    EXPECT_EQ("7", registry.Get(SettingsKeyPath, "Power"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), registry.TypeOf(SettingsKeyPath, "Power"));
    EXPECT_EQ(0, registry.ValueCount(SettingsBasePath));
}

TEST(SettingsStore, ReadsBackWhatWasWritten) {
    TScratchRegistry registry;
    registry.Put(SettingsKeyPath, "RT", "PC RADIO, NON-STOP LATEST HITS!");
    WriteSetting("PS", "v2.0", "ROCK FM");
    WriteSetting("PS", "v2.0", "JAZZ FM");
    EXPECT_EQ("PC RADIO, NON-STOP LATEST HITS!", ReadSetting("RT"));
    EXPECT_EQ("JAZZ FM", ReadSetting("PS"));
    WriteSetting("PS", "v2.0", "");
    EXPECT_EQ("", ReadSetting("PS"));
}

TEST(SettingsStore, AbsentValuesAndKeysReadEmpty) {
    TScratchRegistry registry;
    EXPECT_EQ("empty", ReadSetting("Freq"));
    registry.Put(SettingsKeyPath, "Freq", "100.000MHz");
    EXPECT_EQ("empty", ReadSetting("Power"));
    EXPECT_EQ("empty", ReadAutostartEntry());
}

TEST(SettingsStore, OnlyExactYesIsSet) {
    EXPECT_TRUE(IsSet("Yes"));
    EXPECT_FALSE(IsSet("yes"));
    EXPECT_FALSE(IsSet("YES"));
    EXPECT_FALSE(IsSet("Yes "));
    EXPECT_FALSE(IsSet("No"));
    EXPECT_FALSE(IsSet("empty"));
    EXPECT_FALSE(IsSet(""));
    EXPECT_EQ("Yes", FlagText(true));
    EXPECT_EQ("No", FlagText(false));
}

TEST(SettingsStore, SeedingWritesOnlyAbsentValues) {
    TScratchRegistry registry;
    registry.Put(SettingsKeyPath, "Power", "abc");
    registry.Put(SettingsKeyPath, "PS", "");
    SeedSettings({{"Freq", "100.000MHz"}, {"Power", "0"}, {"PS", "PC RADIO"}, {"PTY", "0"}});
    EXPECT_EQ("100.000MHz", registry.Get(SettingsKeyPath, "Freq"));
    EXPECT_EQ("abc", registry.Get(SettingsKeyPath, "Power"));
    EXPECT_EQ("", registry.Get(SettingsKeyPath, "PS"));
    EXPECT_EQ("0", registry.Get(SettingsKeyPath, "PTY"));
    EXPECT_EQ(4, registry.ValueCount(SettingsKeyPath));
}

TEST(SettingsStore, RefusedKeyRaisesTheRegistryErrorAndStoresNothing) {
    TScratchRegistry registry(true);
    try {
        WriteSetting("Freq", "v2.0", "100.000MHz");
        FAIL() << "no error raised";
    } catch (const Exception& error) {
        EXPECT_STREQ("Failed to create key \\Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0", error.what());
    }
    EXPECT_EQ("empty", ReadSetting("Freq"));
    EXPECT_EQ(-1, registry.ValueCount(SettingsKeyPath));
}

// The test program's own path in double quotes, as the Run entry must hold it.
static std::string QuotedProgramPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string("\"") + path + "\"";
}

TEST(SettingsStore, RunEntryHoldsTheQuotedProgramPathUntilDeleted) {
    TScratchRegistry registry;
    SetAutostart(true);
    EXPECT_EQ(QuotedProgramPath(), registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
    EXPECT_EQ(QuotedProgramPath(), ReadAutostartEntry());
    SetAutostart(false);
    EXPECT_EQ("<absent>", registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
    EXPECT_EQ("empty", ReadAutostartEntry());
    EXPECT_NO_THROW(SetAutostart(false));
}

TEST(SettingsStore, RunEntryWithAnOldPathIsRewritten) {
    TScratchRegistry registry;
    registry.Put(RunKeyPath, "SONDEL ULTRA 3.0", "C:\\Old\\sondel.exe");
    registry.Put(RunKeyPath, "Other program", "C:\\other.exe");
    EXPECT_EQ("C:\\Old\\sondel.exe", ReadAutostartEntry());
    SetAutostart(true);
    EXPECT_EQ(QuotedProgramPath(), registry.Get(RunKeyPath, "SONDEL ULTRA 3.0"));
    EXPECT_EQ("C:\\other.exe", registry.Get(RunKeyPath, "Other program"));
}
