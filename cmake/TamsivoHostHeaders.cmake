# Header-only libraries that Debian installs for the build machine only (nlohmann-json, CLI11).
# For the Windows build the library's own directory is linked into the build tree: adding
# /usr/include instead would let its C library headers shadow MinGW's.
#   tamsivo_host_headers(<target> <INTERFACE|PRIVATE> <folder> <header in it> <Debian package>)
function(tamsivo_host_headers target scope folder header package)
    string(TOUPPER "${folder}" name)
    find_path(TAMSIVO_${name}_INCLUDE_DIR ${folder}/${header} PATHS /usr/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT TAMSIVO_${name}_INCLUDE_DIR)
        message(FATAL_ERROR "${folder}/${header} not found: install ${package}")
    endif()
    set(linked ${CMAKE_BINARY_DIR}/host-include/${folder})
    file(MAKE_DIRECTORY ${linked})
    file(CREATE_LINK ${TAMSIVO_${name}_INCLUDE_DIR}/${folder} ${linked}/${folder} SYMBOLIC)
    target_include_directories(${target} SYSTEM ${scope} ${linked})
endfunction()
