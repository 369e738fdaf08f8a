# How Kestova, the Mac plug-in, ships: one universal bundle for Apple silicon and Intel Macs,
# signed after linking (ad hoc unless a signing identity is given). Current FileMaker Pro runs
# natively on both, loads only plug-ins that carry its architecture, and asks before it loads an
# unsigned one.
#
# Included by the top-level CMakeLists.txt. Run on its own, it prints what a Mac build sets and
# the commands that sign and notarise the bundle, so that they can be checked where no Mac is:
#   cmake [-DPGV_CODESIGN_IDENTITY=...] [-DPGV_NOTARY_PROFILE=...] -P cmake/KestovaPackaging.cmake
# scripts/release runs the same commands on a Mac, on the universal bundle it names:
#   cmake -DPGV_CODESIGN_IDENTITY=... -DPGV_BUNDLE=... -DPGV_RUN=ON -P cmake/KestovaPackaging.cmake

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

# The commands that have Apple notarise the signed `bundle` under the notarytool keychain
# profile `profile`, and staple the ticket to the bundle so that it travels with it, in `submit`
# and `staple`. Apple takes a zip of the bundle, made by ditto as the Finder makes it.
function(pgv_notarise_commands zip submit staple bundle profile)
    set(${zip} ditto -c -k --keepParent "${bundle}" "${bundle}.notarise.zip" PARENT_SCOPE)
    set(${submit} xcrun notarytool submit "${bundle}.notarise.zip" --keychain-profile "${profile}"
        --wait PARENT_SCOPE)
    set(${staple} xcrun stapler staple "${bundle}" PARENT_SCOPE)
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
    set(steps codesign)
    if(PGV_NOTARY_PROFILE)
        pgv_notarise_commands(zip submit staple "${PGV_BUNDLE}" "${PGV_NOTARY_PROFILE}")
        list(APPEND steps zip submit staple)
    endif()
    if(NOT PGV_RUN)
        message("architectures: ${PGV_MAC_ARCHITECTURES}")
        message("oldest macOS: ${PGV_MAC_DEPLOYMENT_TARGET}")
    endif()
    foreach(step IN LISTS steps)
        if(PGV_RUN)
            execute_process(COMMAND ${${step}} COMMAND_ERROR_IS_FATAL ANY)
        else()
            list(JOIN ${step} " " line)
            message("${step}: ${line}")
        endif()
    endforeach()
    if(PGV_RUN AND PGV_NOTARY_PROFILE)
        file(REMOVE "${PGV_BUNDLE}.notarise.zip")
    endif()
endif()
