// Shell calls and the simple message box.
#include "Shell.h"

#include "Application.h"
#include "Win.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {
TShellExecuteHook& Hook() {
    static TShellExecuteHook hook;
    return hook;
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }
}  // namespace

std::intptr_t ShellExecute(HWND owner, const std::string& operation, const std::string& file,
                           const std::string& parameters, const std::string& directory, int showCommand) {
    if (Hook()) return Hook()(operation, file, parameters, directory, showCommand);
    HINSTANCE result = ShellExecuteA(owner, OrNull(operation), file.c_str(), OrNull(parameters), OrNull(directory),
                                     showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

void SetShellExecuteHook(TShellExecuteHook hook) { Hook() = std::move(hook); }

void ShowMessage(const std::string& text) { Application->MessageBox(text, Application->Title(), MsgBox::Ok); }

std::string BrowseForFile(HWND owner, const std::string& title, const std::string& path) {
    std::vector<char> chosen(MAX_PATH + 1, '\0');
    path.copy(chosen.data(), std::min<size_t>(path.size(), MAX_PATH));
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return {};
    return chosen.data();
}
