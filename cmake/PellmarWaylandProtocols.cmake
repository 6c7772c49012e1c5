# Wayland client code generated at build time from the installed protocol
# files, never copied into the tree.
#
# Sets PELLMAR_WAYLAND_FOUND when everything below is there:
#   PkgConfig::PELLMAR_WAYLAND_CLIENT   libwayland-client
#   PELLMAR_WAYLAND_SCANNER             the wayland-scanner program
#   PELLMAR_WAYLAND_PROTOCOLS_DIR       wayland-protocols' folder of XML files
#   PELLMAR_WLR_PROTOCOLS_DIR           the wlroots protocols' folder
#   PELLMAR_WAYLAND_XML_<NAME>          each protocol the project uses:
#       LAYER_SHELL, VIRTUAL_POINTER, RELATIVE_POINTER, XDG_SHELL, XDG_OUTPUT,
#       VIEWPORTER, FOREIGN_TOPLEVEL
#
# pellmar_wayland_protocol(TARGET xml_path basename) generates
# <basename>-client-protocol.h and <basename>-protocol.c into the target's
# binary folder and builds them into the target. Call it from the folder
# that defines the target: generated files are only known there. The header
# is C++-safe: arguments named after C++ keywords (the layer shell's
# "namespace") get a trailing underscore.

# Run as a script (cmake -DPELLMAR_WAYLAND_HEADER=file -P this file): that
# renaming, done on each header as it is generated.
if(CMAKE_SCRIPT_MODE_FILE AND PELLMAR_WAYLAND_HEADER)
    file(READ "${PELLMAR_WAYLAND_HEADER}" text)
    string(REGEX REPLACE
           "(\\*|, |int32_t |wl_fixed_t )(namespace|class|template|typename|this|new|delete|operator|private|protected|public|virtual|default|explicit|friend|using)([,)])"
           "\\1\\2_\\3" text "${text}")
    file(WRITE "${PELLMAR_WAYLAND_HEADER}" "${text}")
    return()
endif()

include_guard(GLOBAL)
set(_PELLMAR_WAYLAND_SCRIPT ${CMAKE_CURRENT_LIST_FILE} CACHE INTERNAL "")

# The generated code is C: compiled as C++ its interface tables would lose
# their external linkage.
enable_language(C)

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(PELLMAR_WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
    pkg_get_variable(_pellmar_scanner_hint wayland-scanner wayland_scanner)
    pkg_get_variable(_pellmar_protocols_hint wayland-protocols pkgdatadir)
endif()

set(_pellmar_scanner_dirs "")
if(_pellmar_scanner_hint)
    get_filename_component(_pellmar_scanner_dir "${_pellmar_scanner_hint}" DIRECTORY)
    list(APPEND _pellmar_scanner_dirs "${_pellmar_scanner_dir}")
endif()
find_program(PELLMAR_WAYLAND_SCANNER wayland-scanner HINTS ${_pellmar_scanner_dirs})

# pkgdatadir comes as //usr/share/... here: normalised so paths compare.
if(_pellmar_protocols_hint)
    file(TO_CMAKE_PATH "${_pellmar_protocols_hint}" _pellmar_protocols_hint)
    string(REGEX REPLACE "^//+" "/" _pellmar_protocols_hint "${_pellmar_protocols_hint}")
endif()
find_path(PELLMAR_WAYLAND_PROTOCOLS_DIR stable/xdg-shell/xdg-shell.xml
          HINTS "${_pellmar_protocols_hint}" PATHS /usr/share/wayland-protocols NO_DEFAULT_PATH)

# The wlroots protocols come with the Rust bindings' sources: in Debian 12's
# librust-wayland-protocols-dev (wayland-protocols-<version>/wlr-protocols),
# in Debian 13's librust-wayland-protocols-wlr-dev
# (wayland-protocols-wlr-<version>/wlr-protocols). Every crate folder of the
# cargo registry is searched, whatever its name and version (highest
# version first), after a plain wlr-protocols install; the first folder with
# both files wins. A cached folder that has lost them (the crate upgraded)
# is searched for again.
file(GLOB _pellmar_wlr_candidates LIST_DIRECTORIES true
     /usr/share/cargo/registry/*/wlr-protocols/unstable
     /usr/share/cargo/registry/*/protocols/wlr-protocols/unstable)
list(SORT _pellmar_wlr_candidates COMPARE NATURAL ORDER DESCENDING)
set(_pellmar_wlr_files wlr-layer-shell-unstable-v1.xml wlr-virtual-pointer-unstable-v1.xml)
function(_pellmar_has_wlr_files dir result)
    set(${result} FALSE PARENT_SCOPE)
    if(NOT dir)
        return()
    endif()
    foreach(file ${_pellmar_wlr_files})
        if(NOT EXISTS "${dir}/${file}")
            return()
        endif()
    endforeach()
    set(${result} TRUE PARENT_SCOPE)
endfunction()
_pellmar_has_wlr_files("${PELLMAR_WLR_PROTOCOLS_DIR}" _pellmar_wlr_ok)
if(NOT _pellmar_wlr_ok)
    set(_pellmar_wlr_found PELLMAR_WLR_PROTOCOLS_DIR-NOTFOUND)
    foreach(dir /usr/share/wlr-protocols/unstable ${_pellmar_wlr_candidates})
        _pellmar_has_wlr_files("${dir}" _pellmar_wlr_ok)
        if(_pellmar_wlr_ok)
            set(_pellmar_wlr_found "${dir}")
            break()
        endif()
    endforeach()
    set(PELLMAR_WLR_PROTOCOLS_DIR "${_pellmar_wlr_found}" CACHE PATH
        "Folder of the wlroots protocol files (wlr-layer-shell-unstable-v1.xml)" FORCE)
endif()

set(PELLMAR_WAYLAND_FOUND FALSE)
if(PELLMAR_WAYLAND_CLIENT_FOUND AND PELLMAR_WAYLAND_SCANNER AND PELLMAR_WAYLAND_PROTOCOLS_DIR
   AND PELLMAR_WLR_PROTOCOLS_DIR)
    set(PELLMAR_WAYLAND_XML_LAYER_SHELL ${PELLMAR_WLR_PROTOCOLS_DIR}/wlr-layer-shell-unstable-v1.xml)
    set(PELLMAR_WAYLAND_XML_VIRTUAL_POINTER
        ${PELLMAR_WLR_PROTOCOLS_DIR}/wlr-virtual-pointer-unstable-v1.xml)
    set(PELLMAR_WAYLAND_XML_FOREIGN_TOPLEVEL
        ${PELLMAR_WLR_PROTOCOLS_DIR}/wlr-foreign-toplevel-management-unstable-v1.xml)
    set(PELLMAR_WAYLAND_XML_RELATIVE_POINTER
        ${PELLMAR_WAYLAND_PROTOCOLS_DIR}/unstable/relative-pointer/relative-pointer-unstable-v1.xml)
    set(PELLMAR_WAYLAND_XML_XDG_SHELL ${PELLMAR_WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
    set(PELLMAR_WAYLAND_XML_XDG_OUTPUT
        ${PELLMAR_WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml)
    set(PELLMAR_WAYLAND_XML_VIEWPORTER
        ${PELLMAR_WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
    set(PELLMAR_WAYLAND_FOUND TRUE)
    foreach(name LAYER_SHELL VIRTUAL_POINTER RELATIVE_POINTER XDG_SHELL XDG_OUTPUT VIEWPORTER
                 FOREIGN_TOPLEVEL)
        if(NOT EXISTS "${PELLMAR_WAYLAND_XML_${name}}")
            message(STATUS "Wayland: ${PELLMAR_WAYLAND_XML_${name}} is missing")
            set(PELLMAR_WAYLAND_FOUND FALSE)
        endif()
    endforeach()
endif()

if(PELLMAR_WAYLAND_FOUND)
    message(STATUS "Wayland: protocols from ${PELLMAR_WAYLAND_PROTOCOLS_DIR} and ${PELLMAR_WLR_PROTOCOLS_DIR}")
else()
    message(STATUS "Wayland: not found (needs libwayland-dev, wayland-protocols and the wlroots "
                   "protocol files: librust-wayland-protocols-wlr-dev, or on Debian 12 "
                   "librust-wayland-protocols-dev): no Wayland code")
endif()

function(pellmar_wayland_protocol target xml basename)
    if(NOT PELLMAR_WAYLAND_FOUND)
        message(FATAL_ERROR "pellmar_wayland_protocol(${target}): Wayland was not found")
    endif()
    get_target_property(dir ${target} BINARY_DIR)
    set(header ${dir}/${basename}-client-protocol.h)
    set(code ${dir}/${basename}-protocol.c)
    add_custom_command(OUTPUT ${header}
        COMMAND ${PELLMAR_WAYLAND_SCANNER} client-header ${xml} ${header}
        COMMAND ${CMAKE_COMMAND} -DPELLMAR_WAYLAND_HEADER=${header} -P ${_PELLMAR_WAYLAND_SCRIPT}
        DEPENDS ${xml} ${_PELLMAR_WAYLAND_SCRIPT} VERBATIM)
    add_custom_command(OUTPUT ${code}
        COMMAND ${PELLMAR_WAYLAND_SCANNER} private-code ${xml} ${code}
        DEPENDS ${xml} VERBATIM)
    # The C code goes into a library of its own, so that the target's C++
    # compile options never reach it.
    set(objects ${target}_wayland_protocols)
    if(NOT TARGET ${objects})
        add_library(${objects} OBJECT)
        target_link_libraries(${objects} PUBLIC PkgConfig::PELLMAR_WAYLAND_CLIENT)
        set_target_properties(${objects} PROPERTIES POSITION_INDEPENDENT_CODE ON
                              AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        target_link_libraries(${target} PRIVATE ${objects})
        target_include_directories(${target} PRIVATE ${dir})
    endif()
    target_sources(${objects} PRIVATE ${code})
    target_sources(${target} PRIVATE ${header})
endfunction()
