# The cross build compiles voxtrawl-cli against the build machine's copies of
# the two header-only libraries, CLI11 and nlohmann-json. Their directory
# (/usr/include) cannot go on the MinGW include path, since the host's C
# library headers would then shadow MinGW's own; so each library's header
# directory is linked alone into the build tree and offered from there, as
# the targets that find_package gives in the native build.
set(HOST_HEADERS_DIR ${CMAKE_BINARY_DIR}/host-headers)

function(add_host_header_library target header)
    if(TARGET ${target})
        return()
    endif()
    string(MAKE_C_IDENTIFIER "${header}_DIR" cache_name)
    # The toolchain file keeps find_path inside the MinGW root; these live on the host.
    find_path(${cache_name} ${header} NO_CMAKE_FIND_ROOT_PATH
              HINTS /usr/include /usr/local/include)
    if(NOT ${cache_name})
        message(FATAL_ERROR "${header} not found on the build machine (install its -dev package)")
    endif()
    get_filename_component(subdir ${header} DIRECTORY)
    file(MAKE_DIRECTORY ${HOST_HEADERS_DIR})
    file(CREATE_LINK ${${cache_name}}/${subdir} ${HOST_HEADERS_DIR}/${subdir} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${HOST_HEADERS_DIR})
endfunction()

add_host_header_library(CLI11::CLI11 CLI/CLI.hpp)
add_host_header_library(nlohmann_json::nlohmann_json nlohmann/json.hpp)
