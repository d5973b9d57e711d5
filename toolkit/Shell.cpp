// Shell calls and the simple message box.
#include "Shell.h"

#include "Application.h"
#include "Win.h"

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
