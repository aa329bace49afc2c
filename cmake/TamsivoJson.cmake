# tamsivo_json: nlohmann-json, header-only, for every target of either build.
include(${CMAKE_CURRENT_LIST_DIR}/TamsivoHostHeaders.cmake)

add_library(tamsivo_json INTERFACE)
if(WIN32)
    tamsivo_host_headers(tamsivo_json INTERFACE nlohmann json.hpp nlohmann-json3-dev)
else()
    find_package(nlohmann_json 3 REQUIRED)
    target_link_libraries(tamsivo_json INTERFACE nlohmann_json::nlohmann_json)
endif()
