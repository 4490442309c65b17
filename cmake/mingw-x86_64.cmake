# Cross build of the same sources with the 64-bit MinGW-w64 compilers, tested
# under 64-bit Wine where the machine runs no 32-bit programs.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The 64-bit loader by name: Debian keeps it out of PATH, and its wine
# command prefers the 32-bit loader whenever that is installed.
find_program(WINE_EXECUTABLE NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
find_program(WINESERVER_EXECUTABLE NAMES wineserver64 wineserver PATHS /usr/lib/wine /usr/lib64/wine)
set(VOXTRAWL_WINEARCH win64)
if(WINE_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
