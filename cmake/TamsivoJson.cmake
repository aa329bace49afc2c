# tamsivo_json: nlohmann-json, header-only, for every target of either build.
add_library(tamsivo_json INTERFACE)
if(WIN32)
    # Debian's package installs for the build machine only. Its directory is linked into the
    # build tree rather than adding /usr/include, whose C library headers would shadow MinGW's.
    find_path(TAMSIVO_JSON_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    if(NOT TAMSIVO_JSON_INCLUDE_DIR)
        message(FATAL_ERROR "nlohmann-json headers not found: install nlohmann-json3-dev")
    endif()
    set(json_dir ${CMAKE_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${json_dir})
    file(CREATE_LINK ${TAMSIVO_JSON_INCLUDE_DIR}/nlohmann ${json_dir}/nlohmann SYMBOLIC)
    target_include_directories(tamsivo_json SYSTEM INTERFACE ${json_dir})
else()
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(tamsivo_json INTERFACE nlohmann_json::nlohmann_json)
endif()
