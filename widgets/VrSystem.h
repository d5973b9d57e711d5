// The unit of the program's system components: the tray icon and the shared bitmap list.
#pragma once

#include "VrBitmapList.h"
#include "VrTrayIcon.h"
