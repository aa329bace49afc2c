# A layer includes and calls only the layers below it. The compiler cannot see a call that
# reaches upwards: a static library links whatever it references later, in the program. So each
# layer's library is linked on its own, whole, into a program of nothing else, with only the
# libraries it declares: a call into a layer above fails that link, and the build with it.
set(TAMSIVO_LAYER_CHECK_SOURCE ${CMAKE_CURRENT_LIST_DIR}/LayerCheck.cpp)

function(tamsivo_layer_check library)
    set(check ${library}_layer_check)
    add_executable(${check} ${TAMSIVO_LAYER_CHECK_SOURCE})
    target_link_libraries(${check} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${library}>")
endfunction()
