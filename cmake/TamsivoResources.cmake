# tamsivo_resources(<name> <script> [DEPENDS <file>...]): compiles the resource script (stored
# in Windows-1251, as every resource script of the project) into an object and makes <name> an
# INTERFACE library whose linking puts those resources into the executable. The script may
# include any file of src/res.
#
# windres is called directly rather than through CMake's RC language, which would hand it the
# project's compiler options. The object goes onto the link line itself, because neither an
# archive member that defines no symbol anyone needs nor an object library's external object
# would reach the linker; listing it as a source too makes the library a build target that
# compiles the script first.
function(tamsivo_resources name script)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS")
    set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}.res.obj)
    add_custom_command(
        OUTPUT ${object}
        COMMAND ${CMAKE_RC_COMPILER} -c 1251 -I ${CMAKE_CURRENT_SOURCE_DIR}
                -I ${PROJECT_SOURCE_DIR}/src/res -O coff
                -i ${CMAKE_CURRENT_SOURCE_DIR}/${script} -o ${object}
        DEPENDS ${script} ${arg_DEPENDS}
        COMMENT "Compiling the resources ${script}"
        VERBATIM)
    add_library(${name} INTERFACE ${object})
    target_link_libraries(${name} INTERFACE ${object})
endfunction()
