# Settings shared by every target of the project.

# Sources are UTF-8; the programs' Japanese texts must be Shift-JIS bytes.
function(tarn_target_defaults target)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8 -fexec-charset=CP932 -Wall -Wextra>)
    if(WIN32)
        target_compile_definitions(${target} PUBLIC
            WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
    endif()
    if(TARN_SANITIZE)
        target_compile_options(${target} PUBLIC $<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=address,undefined
            -fno-omit-frame-pointer -fno-sanitize-recover=undefined>)
        target_link_options(${target} PUBLIC -fsanitize=address,undefined)
    endif()
    if(TARN_SANITIZE_THREADS)
        target_compile_options(${target} PUBLIC $<$<COMPILE_LANGUAGE:C,CXX>:-fsanitize=thread>)
        target_link_options(${target} PUBLIC -fsanitize=thread)
    endif()
endfunction()

# A Windows program that needs no DLL beyond those of Windows itself.
function(tarn_static_program target)
    if(WIN32)
        # No link time in the header: the same sources give the same program.
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
    endif()
endfunction()
