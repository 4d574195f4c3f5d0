# Fails when a file of a layer includes a layer above it. The core (CORE_DIR)
# and the report (REPORT_DIR) include no window, command line, service,
# shared JSON answers, Qt, JSON or option library: they link only downward
# (the report to the core; the core to OpenCV, inih and the standard
# library). The command line (CLI_DIR) includes neither the window nor the
# service.
set(core_forbidden "[\"<](gui|cli|ui|app|json|service|report)/|[\"<]Q[A-Za-z]*[\">/]|[\"<]nlohmann/|[\"<]CLI/")
set(report_forbidden "[\"<](gui|cli|ui|app|json|service)/|[\"<]Q[A-Za-z]*[\">/]|[\"<]nlohmann/|[\"<]CLI/")
set(cli_forbidden "[\"<](gui|ui|app|service)/|[\"<]Q[A-Za-z]*[\">/]")

set(offenders "")
set(count 0)
foreach(layer IN ITEMS core report cli)
    string(TOUPPER "${layer}" upper)
    if(NOT DEFINED ${upper}_DIR)
        continue()
    endif()
    file(GLOB_RECURSE sources "${${upper}_DIR}/*.h" "${${upper}_DIR}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            if(line MATCHES "${${layer}_forbidden}")
                list(APPEND offenders "${layer}: ${source}: ${line}")
            endif()
        endforeach()
        math(EXPR count "${count} + 1")
    endforeach()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "a layer includes a higher layer:\n${text}")
endif()
message(STATUS "${count} files include only their own layer and those below it")
