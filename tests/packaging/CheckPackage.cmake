# Builds the Debian package from the build tree and checks what it holds:
# lintian's verdict on the whole package, the file list, the control fields,
# the desktop entry and metainfo (by Debian's validators), the manual page of
# quorvel-audit, the installed default settings (read by the packaged
# quorvel-audit), and the service's systemd unit (systemd-analyze verify on
# the unpacked package; its security exposure is printed).
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DVERSION=...
#       -DPROGRAMS="exe;exe" -P CheckPackage.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR SOURCE_DIR WORK_DIR VERSION PROGRAMS)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} is not set")
    endif()
endforeach()

# Each failed check is reported; the script fails at the end.
function(fail text)
    message(SEND_ERROR "${text}")
    set_property(GLOBAL PROPERTY package_check_failed TRUE)
endfunction()

function(need_tool name package)
    find_program(tool_${name} ${name})
    if(NOT tool_${name})
        message(FATAL_ERROR "${name} is missing: install ${package} (scripts/setup.sh does)")
    endif()
endfunction()
need_tool(dpkg-deb dpkg)
need_tool(dpkg-shlibdeps dpkg-dev)
need_tool(desktop-file-validate desktop-file-utils)
need_tool(appstreamcli appstream)
need_tool(lintian lintian)
need_tool(systemd-analyze systemd)

foreach(program IN LISTS PROGRAMS)
    if(NOT EXISTS "${program}")
        message(FATAL_ERROR "${program} is not built: build the three programs first")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

execute_process(COMMAND "${CMAKE_CPACK_COMMAND}" -G DEB
        --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cpack failed (${rc}):\n${out}")
endif()

execute_process(COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb "${WORK_DIR}/quorvel_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
    file(GLOB made "${WORK_DIR}/*.deb")
    message(FATAL_ERROR "expected ${deb}, cpack wrote: ${made}")
endif()

# Debian's own checks of the package: no error and no warning. Lintian's
# information and pedantic tags are not asked for.
execute_process(COMMAND lintian --fail-on none --tag-display-limit 0 "${deb}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("lintian failed (${rc}):\n${out}${err}")
endif()
string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" tags "${out}")
if(tags)
    string(REPLACE ";" "" tags "${tags}")
    string(STRIP "${tags}" tags)
    fail("lintian reports errors or warnings:\n${tags}")
endif()

# The file list: exactly these files, nothing stray (tests, headers, ...).
execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    fail("dpkg-deb -c failed")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(files "")
foreach(line IN LISTS lines)
    if(line MATCHES "^-[^ ]+ .* \\./(.+)$")
        list(APPEND files "${CMAKE_MATCH_1}")
    endif()
endforeach()
set(expected
    usr/bin/quorvel
    usr/bin/quorvel-audit
    usr/bin/quorvel-verifyd
    lib/systemd/system/quorvel-verifyd.service
    usr/share/applications/quorvel.desktop
    usr/share/doc/quorvel/changelog.gz
    usr/share/doc/quorvel/copyright
    usr/share/doc/quorvel/examples/quorvel-audit-job.yaml
    usr/share/doc/quorvel/examples/quorvel-audit.sbatch
    usr/share/doc/quorvel/service.md
    usr/share/man/man1/quorvel-audit.1.gz
    usr/share/man/man1/quorvel-verifyd.1.gz
    usr/share/man/man1/quorvel.1.gz
    usr/share/metainfo/quorvel.metainfo.xml
    usr/share/quorvel/cfg.ini)
foreach(size 16 24 32 48 256)
    list(APPEND expected usr/share/icons/hicolor/${size}x${size}/apps/quorvel.png)
endforeach()
foreach(path IN LISTS expected)
    if(NOT path IN_LIST files)
        fail("package lacks ${path}")
    endif()
endforeach()
foreach(path IN LISTS files)
    if(NOT path IN_LIST expected)
        fail("package holds an unexpected file ${path}")
    endif()
endforeach()

# The control fields, each against a pattern.
set(fields
    "Package|^quorvel$"
    "Version|^${VERSION}$"
    "Architecture|^${arch}$"
    "Section|^graphics$"
    "Maintainer|^.+ <.+@.+>$"
    "Description|^Identity photo checker\n .+")
# The cascade's package, a font for the window's Chinese texts, and libraries
# found by dpkg-shlibdeps.
foreach(dependency opencv-data "fonts-noto-cjk \\| fonts-wqy-microhei"
        libqt6widgets6 "libopencv-objdetect[0-9.a-z]+" libinireader0 libmicrohttpd12 libc6)
    list(APPEND fields "Depends|(^|, )${dependency}( |,|$)")
endforeach()
foreach(entry IN LISTS fields)
    string(FIND "${entry}" "|" bar)
    string(SUBSTRING "${entry}" 0 ${bar} name)
    math(EXPR start "${bar} + 1")
    string(SUBSTRING "${entry}" ${start} -1 pattern)
    execute_process(COMMAND dpkg-deb -f "${deb}" ${name}
        OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT value MATCHES "${pattern}")
        fail("control field ${name} '${value}' does not match '${pattern}'")
    endif()
endforeach()

# The installed files themselves.
set(root "${WORK_DIR}/root")
execute_process(COMMAND dpkg-deb -x "${deb}" "${root}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    fail("dpkg-deb -x failed")
endif()

set(desktop "${root}/usr/share/applications/quorvel.desktop")
execute_process(COMMAND desktop-file-validate "${desktop}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    fail("desktop-file-validate rejects the desktop entry:\n${out}")
endif()
file(READ "${desktop}" entry)
if(NOT entry MATCHES "\nExec=quorvel --desktop %f\n")
    fail("the desktop entry does not start the launcher")
endif()
if(NOT entry MATCHES "\nMimeType=image/jpeg;image/png;\n")
    fail("the desktop entry does not declare the photo types")
endif()

# The id is the desktop entry's name, which the window announces; it is not
# reverse-DNS, which the validator only notes.
execute_process(COMMAND appstreamcli validate --no-net
        --override=cid-desktopapp-is-not-rdns=info
        "${root}/usr/share/metainfo/quorvel.metainfo.xml"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    fail("appstreamcli rejects the metainfo file:\n${out}")
endif()

# The page of quorvel-audit is made from the option table the program parses by.
execute_process(COMMAND gzip -dc "${root}/usr/share/man/man1/quorvel-audit.1.gz"
    OUTPUT_VARIABLE page RESULT_VARIABLE rc)
string(REPLACE "\\-" "-" page "${page}")
if(NOT rc EQUAL 0 OR NOT page MATCHES "\n\\.TH [^\n]*\"quorvel-audit ${VERSION}\""
        OR NOT page MATCHES "--version" OR NOT page MATCHES "--shard")
    fail("the manual page of quorvel-audit lacks its version or options:\n${page}")
endif()

file(READ "${root}/usr/share/quorvel/cfg.ini" packaged)
file(READ "${SOURCE_DIR}/packaging/cfg.ini" source)
if(NOT packaged STREQUAL source)
    fail("the packaged cfg.ini differs from packaging/cfg.ini")
endif()
execute_process(COMMAND "${root}/usr/bin/quorvel-audit"
        --config "${root}/usr/share/quorvel/cfg.ini" --show-config
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE " " "" out "${out}")
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"color\":3,\"size\":1")
    fail("the packaged quorvel-audit reads the default settings as '${out}' (${err})")
endif()

# Started where there is no cfg.ini and no per-user one, the packaged
# quorvel-audit reads the installed default beside it, and says so.
file(MAKE_DIRECTORY "${WORK_DIR}/no-settings")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${WORK_DIR}/no-user-data"
        "${root}/usr/bin/quorvel-audit" --show-config
    WORKING_DIRECTORY "${WORK_DIR}/no-settings"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE " " "" out "${out}")
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"color\":3,\"size\":1"
        OR NOT err MATCHES "installed default settings ${root}/usr/share/quorvel/cfg.ini")
    fail("without ./cfg.ini the packaged quorvel-audit does not read the installed one: "
        "'${out}' (${err})")
endif()

# The service's unit, as systemd reads it from the unpacked package (the
# program it starts is looked up there too). No maintainer script enables it.
# systemd's own units (sysinit.target, ...) come from this system's systemd.
set(unit "${root}/lib/systemd/system/quorvel-verifyd.service")
set(systemRoot "${WORK_DIR}/systemd-root")
file(COPY "${root}/" DESTINATION "${systemRoot}")
file(GLOB systemUnits /lib/systemd/system/*.target /lib/systemd/system/system.slice
    /lib/systemd/system/-.slice)
file(COPY ${systemUnits} DESTINATION "${systemRoot}/lib/systemd/system")
execute_process(COMMAND systemd-analyze verify --root=${systemRoot} --man=no
        /lib/systemd/system/quorvel-verifyd.service
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "quorvel-verifyd")
    fail("systemd-analyze verify rejects the unit (${rc}):\n${out}")
endif()
file(READ "${unit}" unitText)
foreach(setting DynamicUser=yes ProtectSystem=strict NoNewPrivileges=yes PrivateTmp=yes
        "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX" MemoryMax=1G)
    if(NOT unitText MATCHES "\n${setting}\n")
        fail("the unit lacks ${setting}")
    endif()
endforeach()
execute_process(COMMAND dpkg-deb -I "${deb}" OUTPUT_VARIABLE control)
if(control MATCHES "postinst")
    fail("a maintainer script would enable the service")
endif()
execute_process(COMMAND systemd-analyze security --offline=true --root=${root}
        /lib/systemd/system/quorvel-verifyd.service
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "systemd-analyze security of quorvel-verifyd.service:\n${out}${err}")

# The packaged service starts and answers.
execute_process(COMMAND "${root}/usr/bin/quorvel-verifyd" --version
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^quorvel-verifyd ${VERSION}")
    fail("the packaged quorvel-verifyd does not run: '${out}' (${err})")
endif()

get_property(failed GLOBAL PROPERTY package_check_failed)
if(failed)
    message(FATAL_ERROR "package check failed")
endif()
message(STATUS "${deb}: ${files}")
