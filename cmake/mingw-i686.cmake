# Cross build of the Win32 program with the 32-bit MinGW-w64 compilers: the
# programs that ship.
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Lets add_test(COMMAND some_target ...) run the cross-built programs. The
# wine command picks the 32-bit loader where both are installed.
find_program(WINE_EXECUTABLE wine)
find_program(WINESERVER_EXECUTABLE wineserver)
set(VOXTRAWL_WINEARCH win32)
if(WINE_EXECUTABLE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
endif()
