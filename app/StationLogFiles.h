// The station log's day files: their names, the folder that every user of the
// machine may add to and that the log checks before it trusts it, appending lines,
// and deleting the days past keeping.
#pragma once

#include "StationLogLines.h"

#include <optional>
#include <string>
#include <vector>

// "2026-12-09.log".
std::string DayFileName(const TLogTime& day);
// The day a name like DayFileName's stands for; none for every other name.
std::optional<TLogTime> DayOfFileName(const std::string& name);
// Days from Earlier's date to Later's (negative when Later comes first).
long DaysBetween(const TLogTime& earlier, const TLogTime& later);

// The machine's folder: "%ProgramData%\SONDEL ULTRA\Log".
std::string MachineLogFolder();
// The access list of a folder the log creates: administrators and the system have
// everything; every user may list it, add files, and read, append to and delete its files.
extern const char* const LogFolderRights;
// Creates Folder (and its parents as needed) when it is missing, Folder itself with
// LogFolderRights; an existing folder keeps its rights. Raises EOSError with the system's
// text. A folder above it that TCheckedFolder refuses gets no folder made in it: why.
std::optional<std::string> CreateLogFolder(const std::string& folder);

// The log's folder and its parent, opened without following a link and held (not to be
// renamed or deleted) while the log writes or deletes in it, so neither can be swapped.
class TCheckedFolder {
public:
    // Raises EOSError with the system's text when one cannot be opened (a missing one included).
    explicit TCheckedFolder(const std::string& folder);
    TCheckedFolder(const TCheckedFolder&) = delete;
    TCheckedFolder& operator=(const TCheckedFolder&) = delete;
    ~TCheckedFolder();
    // Empty when the log may use the folder; else why not: one of the two is a link
    // (a reparse point), or it belongs to anyone but the administrators, the system or
    // the user the program runs as (who could write there anyway).
    const std::string& Refusal() const { return refusal_; }

private:
    void* handles_[2] = {};
    std::string refusal_;
};

// How a day file's bytes reach the disk: WriteFile's shape, so that a test can stand in
// for a disk that takes only part of a write.
using TLogWriteCall = int (*)(void* file, const void* bytes, unsigned long size, unsigned long* written);
// Nullptr: WriteFile.
void UseLogWrite(TLogWriteCall call);

// Appends Bytes to the file, creating it when missing; raises EOSError with the system's
// text. A file that is a link (a reparse point, or a second name of another file) is
// neither followed nor written. A write the disk cut short is cut back to where it began.
void AppendToFile(const std::string& path, const std::string& bytes);

// A clock further than this past the newest day file (or this run's first day) deletes nothing.
constexpr long MaxDaysPastNewest = 2;
struct TRetention {
    std::vector<std::string> Deleted;
    // The newest day file, when today was too far past it (and this run's first day) to delete.
    std::optional<std::string> HeldBy;
    long DaysPastNewest = 0;
    // The first failure of a deletion (a day file that is a link is one), or of the search.
    std::optional<std::string> Failure;
    // Why the folder is not trusted (see TCheckedFolder).
    std::optional<std::string> Refusal;
};
// Deletes the day files of Folder more than KeepDays days before Today, never the newest
// KeepDays of them, and none at all when Today is more than MaxDaysPastNewest days past
// both the newest day file and StartDay; other files stay. KeepDays 0 deletes every day file.
TRetention DeleteOldDayFiles(const std::string& folder, const TLogTime& today, const TLogTime& startDay,
                             unsigned keepDays);
