# What the build leaves out, and what would bring it: each backend's
# CMake file says so with pellmar_left_out(), and the configure step ends
# with the list (pellmar_print_summary()).
include_guard(GLOBAL)

function(pellmar_left_out what needs)
    set_property(GLOBAL APPEND PROPERTY PELLMAR_LEFT_OUT "${what} (needs ${needs})")
endfunction()

function(pellmar_print_summary)
    get_property(left GLOBAL PROPERTY PELLMAR_LEFT_OUT)
    if(NOT left)
        message(STATUS "Pellmar: nothing left out")
        return()
    endif()
    message(WARNING "Pellmar is built without:")
    foreach(item ${left})
        message(STATUS "  - ${item}")
    endforeach()
endfunction()
