// The platform API for the toolkit's own sources. The names that the platform defines as
// macros and the toolkit uses for its members are undefined; the toolkit calls the "A" forms.
#pragma once

#include <windows.h>
#include <shellapi.h>

#undef TextOut
#undef DrawText
#undef MessageBox
#undef ShellExecute
