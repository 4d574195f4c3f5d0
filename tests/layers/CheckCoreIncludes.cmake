# Fails when a file of the core includes the window, the command line, the
# service, the shared JSON answers or Qt:
# the core links only downward (OpenCV, inih, the standard library).
file(GLOB_RECURSE sources "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
set(offenders "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "[\"<](gui|cli|ui|app|json|service)/" OR line MATCHES "[\"<]Q[A-Za-z]*[\">/]"
           OR line MATCHES "[\"<]nlohmann/|[\"<]CLI/")
            list(APPEND offenders "${source}: ${line}")
        endif()
    endforeach()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "the core includes a higher layer:\n${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} core files include only the core and its libraries")
