# Joins the Mac cross build's two halves (presets mac-arm64 and mac-x86_64) into the universal
# Kestova.fmplugin that ships, as a Mac build for both architectures makes it, then signs it where
# codesign exists. Notarising and stapling need Apple's service and a Mac (scripts/finish-mac):
# the script says so.
#   cmake -DPGV_HALVES=ARM64_BUNDLE;X86_64_BUNDLE -DPGV_BUNDLE=OUT_BUNDLE
#         [-DPGV_CODESIGN_IDENTITY=...] -P cmake/KestovaUniversal.cmake
include(${CMAKE_CURRENT_LIST_DIR}/KestovaPackaging.cmake)
find_program(PGV_LIPO NAMES llvm-lipo-14 lipo REQUIRED)

list(GET PGV_HALVES 0 first)
set(binary Contents/MacOS/Kestova)
set(slices)
foreach(half IN LISTS PGV_HALVES)
    list(APPEND slices ${half}/${binary})
endforeach()

# The bundle around the binary (its Info.plist) is the same in both halves.
file(REMOVE_RECURSE ${PGV_BUNDLE})
file(COPY ${first}/Contents DESTINATION ${PGV_BUNDLE} PATTERN Kestova EXCLUDE)
execute_process(COMMAND ${PGV_LIPO} -create ${slices} -output ${PGV_BUNDLE}/${binary}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${PGV_LIPO} -archs ${PGV_BUNDLE}/${binary} OUTPUT_VARIABLE archs
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
message("${PGV_BUNDLE}: ${archs}")

pgv_sign_step(sign ${PGV_BUNDLE} "${PGV_CODESIGN_IDENTITY}")
execute_process(COMMAND ${sign} COMMAND_ERROR_IS_FATAL ANY)
message("Notarising and stapling are skipped: they need Apple's notary service, from a Mac "
        "(scripts/finish-mac)")
