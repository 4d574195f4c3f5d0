# The per-user working folder of the desktop launcher (no Qt), kept as its own
# library so that the window and its tests can link it.
add_library(quorvel_userfolder STATIC
    ${CMAKE_CURRENT_LIST_DIR}/UserFolder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UserFolder.h
)
target_include_directories(quorvel_userfolder PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(quorvel_userfolder PRIVATE
    QUORVEL_INSTALL_DATADIR="${CMAKE_INSTALL_DATADIR}"
    QUORVEL_INSTALL_FULL_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}"
    QUORVEL_USERFOLDER_CASCADE="${QUORVEL_SYSTEM_CASCADE}")
