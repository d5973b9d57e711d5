// The unit of the program's system components: the tray icon.
#pragma once

#include "VrTrayIcon.h"
