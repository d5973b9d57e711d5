// The station log's day files: their names, the folder that every user of the
// machine may add to, appending lines, and deleting the days past keeping.
#pragma once

#include "StationLogLines.h"

#include <optional>
#include <string>

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
// LogFolderRights; an existing folder keeps its rights. Raises EOSError with the system's text.
void CreateLogFolder(const std::string& folder);
// Appends Bytes to the file, creating it when missing; raises EOSError with the system's text.
void AppendToFile(const std::string& path, const std::string& bytes);
// Deletes the day files of Folder more than KeepDays days before Today (every one
// for KeepDays 0); other files stay. Returns the first deletion's failure, if any.
std::optional<std::string> DeleteOldDayFiles(const std::string& folder, const TLogTime& today, unsigned keepDays);
