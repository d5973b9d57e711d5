// The station log's files on disk: day names and dates, the shared folder,
// appending, and deleting old days.
#include "StationLogFiles.h"

#include "SysUtils.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
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

long DayNumber(const TLogTime& day) { return DaysFromCivil(day.Year, day.Month, day.Day); }

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

constexpr char LinkedDayFile[] = "a link to elsewhere, not a day file of the log";

// A reparse point, or a file with more names than the one the log gave it.
bool IsLink(const BY_HANDLE_FILE_INFORMATION& information) {
    return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1;
}

// The path's own attributes (a link's, not its target's): a second look beside the
// handle's, for systems whose handles report the target.
bool IsReparsePoint(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int SystemWrite(void* file, const void* bytes, unsigned long size, unsigned long* written) {
    return WriteFile(file, bytes, size, written, nullptr);
}
TLogWriteCall logWrite = SystemWrite;

// The token's user: an owner who is the user the program runs as gains nothing by a folder.
bool IsOwnUser(PSID owner) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const TScoped<TFileKind> held(token);
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return false;
    return EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner);
}

// Who owns the object, as a SID string, unless the administrators, the system or the
// program's own user do; an owner that cannot be read is foreign.
std::optional<std::string> ForeignOwner(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                         nullptr, &descriptor);
    if (result != ERROR_SUCCESS) return "an owner who cannot be read (" + SysErrorMessage(result) + ")";
    const TScoped<TLocalKind> held(descriptor);
    if (!owner || !IsValidSid(owner)) return std::string("no one");
    if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid) ||
        IsOwnUser(owner))
        return std::nullopt;
    char* text = nullptr;
    if (!ConvertSidToStringSidA(owner, &text)) return std::string("someone else");
    const std::string named = text;
    LocalFree(text);
    return named;
}

// Opened without following a link, checked, and deleted through the same handle.
std::optional<std::string> DeleteDayFile(const std::string& path) {
    if (IsReparsePoint(path)) return path + ": " + LinkedDayFile;
    const TScoped<TFileKind> file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) return SystemText(path, GetLastError());
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.Get(), &information)) return SystemText(path, GetLastError());
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return path + ": " + LinkedDayFile;
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition))
        return SystemText(path, GetLastError());
    return std::nullopt;
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

std::optional<std::string> CreateLogFolder(const std::string& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(LogFolderRights, SDDL_REVISION_1, &descriptor, nullptr))
        RaiseLastOSError("The log folder's rights");
    const TScoped<TLocalKind> owned(descriptor);
    SECURITY_ATTRIBUTES rights{sizeof rights, descriptor, FALSE};
    const std::string path = WithoutTrailingSeparators(folder);
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return std::nullopt;
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos || separator == 0) {
        CreateFolder(path, &rights);
        return std::nullopt;
    }
    // The parents take the rights their own parents hand down; the one above is checked,
    // and held, before the folder is made in it.
    const std::string parent = WithoutTrailingSeparators(path.substr(0, separator));
    CreateFolder(parent, nullptr);
    const TCheckedFolder checked(parent);
    if (!checked.Refusal().empty()) return checked.Refusal();
    CreateFolder(path, &rights);
    return std::nullopt;
}

TCheckedFolder::TCheckedFolder(const std::string& folder) {
    const std::string path = WithoutTrailingSeparators(folder);
    const size_t separator = path.find_last_of("\\/");
    const std::string parent = separator == std::string::npos ? std::string() : path.substr(0, separator);
    // The parent first: a link there would lead the folder's own path elsewhere.
    const std::string paths[] = {parent, path};
    for (size_t at = 0; at < std::size(paths); ++at) {
        if (paths[at].empty() || paths[at].back() == ':') continue;
        // No FILE_SHARE_DELETE: while held, neither can be renamed, moved or deleted.
        handles_[at] = CreateFileA(paths[at].c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handles_[at] == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            handles_[at] = nullptr;
            for (void* held : handles_)
                if (held) CloseHandle(held);
            throw EOSError(SystemText("The folder " + paths[at], error), error);
        }
        if (!refusal_.empty()) continue;
        BY_HANDLE_FILE_INFORMATION information;
        if ((GetFileInformationByHandle(handles_[at], &information) &&
             (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ||
            IsReparsePoint(paths[at])) {
            refusal_ = "the folder " + paths[at] + " is a link to elsewhere (a reparse point)";
            continue;
        }
        if (const std::optional<std::string> owner = ForeignOwner(handles_[at]))
            refusal_ = "the folder " + paths[at] + " belongs to " + *owner +
                       ", not to the administrators, the system or this user";
    }
}

TCheckedFolder::~TCheckedFolder() {
    for (void* held : handles_)
        if (held) CloseHandle(held);
}

void UseLogWrite(TLogWriteCall call) { logWrite = call ? call : SystemWrite; }

void AppendToFile(const std::string& path, const std::string& bytes) {
    // Writing over a short write needs FILE_WRITE_DATA, which only administrators hold on
    // the log's files; everyone else appends and leaves a cut line where the disk cut it.
    if (IsReparsePoint(path)) throw EOSError(path + ": " + LinkedDayFile, ERROR_CANT_ACCESS_FILE);
    HANDLE opened = INVALID_HANDLE_VALUE;
    for (const DWORD access : {FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES,
                               FILE_APPEND_DATA | FILE_READ_ATTRIBUTES}) {
        opened = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (opened != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) break;
    }
    const TScoped<TFileKind> file(opened);
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        throw EOSError(SystemText(path, error), error);
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file.Get(), &information)) {
        const DWORD error = GetLastError();
        throw EOSError(SystemText(path, error), error);
    }
    if (IsLink(information))
        throw EOSError(path + ": " + LinkedDayFile, ERROR_CANT_ACCESS_FILE);
    // With FILE_WRITE_DATA the bytes go where the file pointer is: at the end.
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file.Get(), LARGE_INTEGER{}, &start, FILE_END)) {
        const DWORD error = GetLastError();
        throw EOSError(SystemText(path, error), error);
    }
    DWORD written = 0;
    const BOOL wrote = logWrite(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    const DWORD error = wrote ? (written == bytes.size() ? ERROR_SUCCESS : ERROR_DISK_FULL) : GetLastError();
    if (error == ERROR_SUCCESS) return;
    // A cut line would join the next line written; the file ends where this write began.
    if (written != 0 && SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) SetEndOfFile(file.Get());
    throw EOSError(SystemText(path, error), error);
}

TRetention DeleteOldDayFiles(const std::string& folder, const TLogTime& today, const TLogTime& startDay,
                             unsigned keepDays) {
    TRetention retention;
    std::optional<TCheckedFolder> checked;
    try {
        checked.emplace(folder);
    } catch (const EOSError& error) {
        if (error.ErrorCode != ERROR_FILE_NOT_FOUND && error.ErrorCode != ERROR_PATH_NOT_FOUND)
            retention.Failure = error.what();
        return retention;
    }
    if (!checked->Refusal().empty()) {
        retention.Refusal = checked->Refusal();
        return retention;
    }
    const std::string base = WithoutTrailingSeparators(folder) + "\\";
    struct TDayFile {
        long Day;
        std::string Name;
    };
    std::vector<TDayFile> days;
    {
        WIN32_FIND_DATAA found;
        const TScoped<TFindKind> search(FindFirstFileA((base + "*").c_str(), &found));
        if (!search.Valid()) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) retention.Failure = SystemText(folder, error);
            return retention;
        }
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (const std::optional<TLogTime> day = DayOfFileName(found.cFileName))
                days.push_back({DayNumber(*day), found.cFileName});
        } while (FindNextFileA(search.Get(), &found));
    }
    if (days.empty()) return retention;
    // Newest first: the first KeepDays stay, whatever the clock says.
    std::sort(days.begin(), days.end(), [](const TDayFile& a, const TDayFile& b) { return a.Day > b.Day; });
    const long todayNumber = DayNumber(today);
    if (keepDays != 0) {
        const long newest = std::max(days.front().Day, DayNumber(startDay));
        if (todayNumber - newest > MaxDaysPastNewest) {
            retention.HeldBy = days.front().Name;
            retention.DaysPastNewest = todayNumber - days.front().Day;
            return retention;
        }
    }
    for (size_t at = std::min<size_t>(keepDays, days.size()); at < days.size(); ++at) {
        if (keepDays != 0 && todayNumber - days[at].Day <= static_cast<long>(keepDays)) continue;
        if (const std::optional<std::string> failure = DeleteDayFile(base + days[at].Name)) {
            if (!retention.Failure) retention.Failure = failure;
        } else {
            retention.Deleted.push_back(days[at].Name);
        }
    }
    std::sort(retention.Deleted.begin(), retention.Deleted.end());
    return retention;
}
