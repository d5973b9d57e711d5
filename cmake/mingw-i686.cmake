# The program that ships: 32-bit, as the card's driver interface requires.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SONDEL_TRIPLET i686-w64-mingw32)
set(SONDEL_EXTRA_LINK_FLAGS "")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
