# Runs clang-format over the project's C++ files (src, tests, bench, fuzz,
# tools). MODE=check fails on the first file that differs; MODE=fix rewrites.
file(GLOB_RECURSE files
    "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
    "${SOURCE_DIR}/tests/*.h" "${SOURCE_DIR}/tests/*.cpp"
    "${SOURCE_DIR}/bench/*.h" "${SOURCE_DIR}/bench/*.cpp"
    "${SOURCE_DIR}/fuzz/*.h" "${SOURCE_DIR}/fuzz/*.cpp"
    "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
set(unformatted "")
foreach(file IN LISTS files)
    if(MODE STREQUAL "fix")
        execute_process(COMMAND ${CLANG_FORMAT} -i ${file})
    else()
        execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${file}
            RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
        if(NOT status EQUAL 0)
            list(APPEND unformatted ${file})
        endif()
    endif()
endforeach()
if(unformatted)
    list(JOIN unformatted "\n  " text)
    message(FATAL_ERROR "not formatted as .clang-format says (run the \"format\" target):\n  ${text}")
endif()
