# How Kestova, the Mac plug-in, ships: one universal bundle for Apple silicon and Intel Macs,
# signed after linking (ad hoc unless a signing identity is given). Current FileMaker Pro runs
# natively on both, loads only plug-ins that carry its architecture, and asks before it loads an
# unsigned one.
#
# Included by the top-level CMakeLists.txt. Run on its own, it prints what a Mac build sets and
# the command that signs the bundle, so that they can be checked where no Mac is:
#   cmake [-DPGV_CODESIGN_IDENTITY=...] [-DPGV_BUNDLE=...] -P cmake/KestovaPackaging.cmake
# A release made here is signed, notarised and stapled on a Mac by scripts/finish-mac, with the
# same signing command.

set(PGV_MAC_ARCHITECTURES arm64 x86_64)
# The first macOS that runs on Apple silicon.
set(PGV_MAC_DEPLOYMENT_TARGET 11.0)
set(PGV_CODESIGN_IDENTITY "-" CACHE STRING
    "The identity that signs the Mac bundle: a Developer ID Application certificate's name, or - for an ad-hoc signature")

# The command that signs `bundle`, in `out`. Notarisation needs the hardened runtime and a secure
# time stamp; an ad-hoc signature can take no time stamp.
function(pgv_codesign_command out bundle identity)
    set(command codesign --force --options runtime --sign "${identity}")
    if(NOT identity STREQUAL "-")
        list(APPEND command --timestamp)
    endif()
    list(APPEND command "${bundle}")
    set(${out} "${command}" PARENT_SCOPE)
endfunction()

# The step that signs `bundle` once it is complete, in `out`: the codesign command where codesign
# exists, and where it does not (the cross build off a Mac) one that says signing is skipped,
# since nothing else makes Apple's signature.
function(pgv_sign_step out bundle identity)
    find_program(PGV_CODESIGN codesign)
    if(PGV_CODESIGN)
        pgv_codesign_command(step "${bundle}" "${identity}")
    else()
        set(step "${CMAKE_COMMAND}" -E echo
            "codesign is not on this machine: signing ${bundle} is skipped")
    endif()
    set(${out} "${step}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT DEFINED PGV_BUNDLE)
        set(PGV_BUNDLE Kestova.fmplugin)
    endif()
    pgv_codesign_command(codesign "${PGV_BUNDLE}" "${PGV_CODESIGN_IDENTITY}")
    list(JOIN codesign " " line)
    message("architectures: ${PGV_MAC_ARCHITECTURES}")
    message("oldest macOS: ${PGV_MAC_DEPLOYMENT_TARGET}")
    message("codesign: ${line}")
endif()
