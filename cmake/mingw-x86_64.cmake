# The test build: 64-bit code kept below 4 GB, so the driver records' 32-bit
# pointer fields hold every address the program uses.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SONDEL_TRIPLET x86_64-w64-mingw32)
set(SONDEL_EXTRA_LINK_FLAGS "-Wl,--image-base,0x10000000 -Wl,--disable-dynamicbase -Wl,--disable-high-entropy-va")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
