# The release archive: `cmake --build --preset windows --target package_zip`
# (or `bash scripts/package.sh`) writes TarnUtil-<version>-win64.zip into the
# build folder, holding the stripped TarnUtil.exe, tarnbatch.exe,
# plugins/qv_TarnUtil.exe, the Japanese user guide (also as one HTML page) and
# a registry file for Wine (scripts/package.py says how it is laid out).
#
# The packager's arguments (all but --out) also go, one a line, into
# package-args.txt in the build folder, so that the release test
# (tests/package) builds its archives with exactly the same command.
#
# Defined once the whole project has been read, wherever the utility's target
# is added.
function(tarn_define_package)
    set(zip ${CMAKE_BINARY_DIR}/TarnUtil-${PROJECT_VERSION}-win64.zip)
    if(NOT TARGET TarnUtil OR NOT TARGET qv_TarnUtil OR NOT TARGET tarnbatch)
        add_custom_target(package_zip
            COMMAND ${CMAKE_COMMAND} -E echo "package_zip: the TarnUtil, qv_TarnUtil and tarnbatch targets are needed"
            COMMAND ${CMAKE_COMMAND} -E false
            VERBATIM)
        return()
    endif()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(args
        --version ${PROJECT_VERSION}
        --utility $<TARGET_FILE:TarnUtil>
        --companion $<TARGET_FILE:qv_TarnUtil>
        --batch $<TARGET_FILE:tarnbatch>
        --docs ${PROJECT_SOURCE_DIR}/docs
        --strip ${CMAKE_STRIP}
        --objdump ${CMAKE_OBJDUMP})
    add_custom_target(package_zip
        COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/package.py ${args} --out ${zip}
        BYPRODUCTS ${zip}
        COMMENT "Release archive ${zip}"
        VERBATIM)
    add_dependencies(package_zip TarnUtil qv_TarnUtil tarnbatch)
    string(JOIN "\n" lines ${args})
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package-args.txt CONTENT "${lines}\n")
endfunction()

if(WIN32)
    cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL tarn_define_package)
endif()
