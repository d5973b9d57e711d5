// The station log's files on disk: day names and dates, the shared folder,
// appending, and deleting old days.
#include "StationLogFiles.h"

#include "SysUtils.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <cctype>
#include <cstdio>

namespace {

constexpr char DayFileSuffix[] = ".log";
// "YYYY-MM-DD" before the suffix.
constexpr size_t DateLength = 10;
constexpr size_t YearDigits = 4;
constexpr size_t MonthAt = 5;
constexpr size_t DayAt = 8;
constexpr size_t FieldSeparators[] = {4, 7};
constexpr int MonthsPerYear = 12;
constexpr char LogFolderBelowProgramData[] = "\\SONDEL ULTRA\\Log";

// Windows file names ignore letter case.
bool EndsWithSuffix(const std::string& name) {
    const size_t suffixLength = sizeof DayFileSuffix - 1;
    if (name.size() < suffixLength) return false;
    return SameText(name.substr(name.size() - suffixLength), DayFileSuffix);
}

bool DigitsAt(const std::string& text, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    constexpr int Days[MonthsPerYear] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (counted in eras of 400 years).
long DaysFromCivil(int year, int month, int day) {
    constexpr long DaysPerEra = 146097;
    constexpr long YearsPerEra = 400;
    constexpr long EpochShift = 719468;
    const long y = year - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - (YearsPerEra - 1)) / YearsPerEra;
    const long yearOfEra = y - era * YearsPerEra;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * DaysPerEra + dayOfEra - EpochShift;
}

std::string SystemText(const std::string& what, DWORD code) {
    return what + ": " + SysErrorMessage(code);
}

template <typename Kind>
class TScoped {
public:
    explicit TScoped(typename Kind::THandle handle) : handle_(handle) {}
    TScoped(const TScoped&) = delete;
    TScoped& operator=(const TScoped&) = delete;
    ~TScoped() {
        if (Valid()) Kind::Close(handle_);
    }
    bool Valid() const { return handle_ != Kind::Invalid(); }
    typename Kind::THandle Get() const { return handle_; }

private:
    typename Kind::THandle handle_;
};

struct TFileKind {
    using THandle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct TFindKind {
    using THandle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
struct TLocalKind {
    using THandle = PSECURITY_DESCRIPTOR;
    static PSECURITY_DESCRIPTOR Invalid() { return nullptr; }
    static void Close(PSECURITY_DESCRIPTOR memory) { LocalFree(memory); }
};

std::string WithoutTrailingSeparators(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

void CreateFolder(const std::string& folder, SECURITY_ATTRIBUTES* rights) {
    if (CreateDirectoryA(folder.c_str(), rights)) return;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return;
    if (error == ERROR_PATH_NOT_FOUND) {
        const size_t separator = folder.find_last_of("\\/");
        if (separator != std::string::npos && separator > 0) {
            // The parents take the rights their own parents hand down.
            CreateFolder(WithoutTrailingSeparators(folder.substr(0, separator)), nullptr);
            if (CreateDirectoryA(folder.c_str(), rights)) return;
            error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS) return;
        }
    }
    throw EOSError(SystemText("The folder " + folder + " cannot be created", error), error);
}

}  // namespace

// Protected from what ProgramData hands down. Users: on the folder list, add a file,
// read attributes and security, traverse (0x1200ab); on its files, inherited only, read,
// append, read attributes and security, delete (0x13008d): no overwriting what is written.
const char* const LogFolderRights =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;0x13008d;;;BU)";

std::string DayFileName(const TLogTime& day) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d%s", day.Year, day.Month, day.Day, DayFileSuffix);
    return name;
}

std::optional<TLogTime> DayOfFileName(const std::string& name) {
    if (name.size() != DateLength + sizeof DayFileSuffix - 1 || !EndsWithSuffix(name)) return std::nullopt;
    for (const size_t separator : FieldSeparators)
        if (name[separator] != '-') return std::nullopt;
    TLogTime day;
    if (!DigitsAt(name, 0, YearDigits, day.Year) || !DigitsAt(name, MonthAt, 2, day.Month) ||
        !DigitsAt(name, DayAt, 2, day.Day))
        return std::nullopt;
    if (day.Month < 1 || day.Month > MonthsPerYear || day.Day < 1 || day.Day > DaysInMonth(day.Year, day.Month))
        return std::nullopt;
    return day;
}

long DaysBetween(const TLogTime& earlier, const TLogTime& later) {
    return DaysFromCivil(later.Year, later.Month, later.Day) - DaysFromCivil(earlier.Year, earlier.Month, earlier.Day);
}

std::string MachineLogFolder() {
    char programData[MAX_PATH];
    const HRESULT result = SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, programData);
    if (FAILED(result))
        throw EOSError(SystemText("The folder for all users' data is unknown", static_cast<DWORD>(result)),
                       static_cast<DWORD>(result));
    return WithoutTrailingSeparators(programData) + LogFolderBelowProgramData;
}

void CreateLogFolder(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(LogFolderRights, SDDL_REVISION_1, &descriptor, nullptr))
        RaiseLastOSError("The log folder's rights");
    const TScoped<TLocalKind> owned(descriptor);
    SECURITY_ATTRIBUTES rights{sizeof rights, descriptor, FALSE};
    CreateFolder(WithoutTrailingSeparators(folder), &rights);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    const TScoped<TFileKind> file(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        throw EOSError(SystemText(path, error), error);
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        const DWORD error = GetLastError();
        throw EOSError(SystemText(path, error), error);
    }
    if (written != bytes.size()) throw EOSError(SystemText(path, ERROR_DISK_FULL), ERROR_DISK_FULL);
}

std::optional<std::string> DeleteOldDayFiles(const std::string& folder, const TLogTime& today, unsigned keepDays) {
    const std::string base = WithoutTrailingSeparators(folder) + "\\";
    WIN32_FIND_DATAA found;
    const TScoped<TFindKind> search(FindFirstFileA((base + "*").c_str(), &found));
    if (!search.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        return SystemText(folder, error);
    }
    std::optional<std::string> failure;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::optional<TLogTime> day = DayOfFileName(found.cFileName);
        if (!day) continue;
        if (keepDays != 0 && DaysBetween(*day, today) <= static_cast<long>(keepDays)) continue;
        const std::string path = base + found.cFileName;
        if (!DeleteFileA(path.c_str()) && !failure) failure = SystemText(path, GetLastError());
    } while (FindNextFileA(search.Get(), &found));
    return failure;
}
