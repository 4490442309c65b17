# Every Win32 target is also built for x86_64, where a pointer or handle that
# passes through a 32-bit integer is cut in half. These turn such casts into
# errors. g++ knows no -Wshorten-64-to-32 and takes -Wpointer-to-int-cast for
# C only (in C++ it refuses a cast to a narrower integer anyway), so each flag
# is kept only where the compiler accepts it without a warning.
include(CheckCXXCompilerFlag)
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag -Werror=pointer-to-int-cast -Werror=int-to-pointer-cast -Werror=shorten-64-to-32)
    string(MAKE_C_IDENTIFIER "CXX_ACCEPTS${flag}" accepted)
    check_cxx_compiler_flag(${flag} ${accepted})
    if(${accepted})
        add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${flag}>)
    endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)
