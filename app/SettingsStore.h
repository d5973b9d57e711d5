// The settings store: named text values under HKEY_LOCAL_MACHINE, every access
// a complete open, read or write, and close; and the machine-wide Run entry.
#pragma once

#include "Colors.h"
#include "SysUtils.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace SettingsStore {

// The base key of the program's settings; every value lives in its sub-key.
extern const char* const SettingsBaseKey;
extern const char* const SettingsSubKey;
extern const char* const RunKey;
extern const char* const RunValueName;
// What an absent value (or key) reads as.
extern const char* const AbsentText;
extern const char* const YesText;
extern const char* const NoText;

// Creates the base key + SubKey when missing and writes Text as the string value
// Name; a key that cannot be created raises "Failed to create key ...".
void WriteSetting(const std::string& name, const std::string& subKey, const std::string& text);
// Told each write that the registry refused (before the error goes on up); nullptr: nobody.
using TRefusedWriteHandler =
    std::function<void(const std::string& name, const std::string& text, const std::string& message)>;
void OnRefusedWrite(TRefusedWriteHandler handler);
// The string value Name of the settings key, or AbsentText. A key this user may not
// write is read with read rights.
std::string ReadSetting(const std::string& name);
// The same, with an absent value read as empty text.
std::string ReadSettingOrEmpty(const std::string& name);
// A stored value that does not convert: the conversion error's message, with the
// value's name and whether the value was absent.
class EMalformedSetting : public EConvertError {
public:
    EMalformedSetting(const std::string& message, std::string name, bool absent)
        : EConvertError(message), name_(std::move(name)), absent_(absent) {}
    const std::string& Name() const { return name_; }
    bool Absent() const { return absent_; }

private:
    std::string name_;
    bool absent_;
};

// The value Name as an integer; raises EMalformedSetting when it is not one.
int ReadIntegerSetting(const std::string& name);
// The value Name as a colour (identifier or number); raises EMalformedSetting when it is neither.
TColor ReadColorSetting(const std::string& name);
// Writes each (name, text) whose value is absent from the settings key; present
// values, well-formed or not, stay as they are.
void SeedSettings(const std::vector<std::pair<std::string, std::string>>& values);

// The Run value, or AbsentText.
std::string ReadAutostartEntry();
// Writes the Run value as the running program's full path, or deletes it
// (an absent value is no error).
void SetAutostart(bool enable);

// A flag counts as set only when it is exactly "Yes".
bool IsSet(const std::string& flag);
std::string FlagText(bool set);

}  // namespace SettingsStore
