// The shell's "open a document or address" call and the simple message box, each with a seam
// that tests replace so nothing is launched or shown.
#pragma once

#include "Types.h"

#include <functional>
#include <string>

// Show commands (the platform's values).
namespace ShowCommand {
constexpr int Hide = 0;
constexpr int Normal = 1;
constexpr int Minimized = 2;
}  // namespace ShowCommand

using TShellExecuteHook = std::function<std::intptr_t(const std::string& operation, const std::string& file,
                                                      const std::string& parameters, const std::string& directory,
                                                      int showCommand)>;

// Asks the shell to carry out Operation on File; returns the shell's result (above 32 is success).
std::intptr_t ShellExecute(HWND owner, const std::string& operation, const std::string& file,
                           const std::string& parameters, const std::string& directory, int showCommand);
// nullptr: back to the platform's shell.
void SetShellExecuteHook(TShellExecuteHook hook);

// A message box with an OK button and the application's title.
void ShowMessage(const std::string& text);

// The system's open-file dialog for an existing file, starting at Path: the file
// chosen, or empty when it was cancelled.
std::string BrowseForFile(HWND owner, const std::string& title, const std::string& path);
