# Creates the Wine prefix of the GUI tests, once: cmake -DWINE_LOADER=... -DWINE_PREFIX=... -P
# CreateWinePrefix.cmake. A marker file says the prefix is complete; a run that failed half-way
# starts over.
if(EXISTS "${WINE_PREFIX}/tamsivo-prefix-ready")
    return()
endif()

set(ENV{WINEPREFIX} "${WINE_PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml,winemenubuilder.exe=d")
get_filename_component(wine_dir "${WINE_LOADER}" DIRECTORY)

function(run_in_prefix what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
                    ERROR_VARIABLE output TIMEOUT 300)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} in ${WINE_PREFIX} failed (${result}):\n${output}")
    endif()
endfunction()

run_in_prefix("wineboot -i" "${WINE_LOADER}" wineboot -i)
# Xvfb has no window manager, and Wine waits two seconds for one to withdraw each managed
# window that is hidden or destroyed; unmanaged windows go at once.
run_in_prefix("setting the X11 driver's Managed=N" "${WINE_LOADER}" reg add
              "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f)
# The registry reaches the prefix's files when the server ends.
run_in_prefix("wineserver -w" "${wine_dir}/wineserver" -w)
file(TOUCH "${WINE_PREFIX}/tamsivo-prefix-ready")
