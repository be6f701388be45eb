# vantrelle-bench: drives the download and upload engines from the command line, next to bare
# Connector/C loops doing the same work, and prints one JSON line of figures. The bare loops use
# POSIX file calls, so the program is built where those exist.
if(NOT WIN32)
    add_executable(vantrelle-bench
        ${CMAKE_CURRENT_SOURCE_DIR}/TransferBench.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/RawTransfer.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/PeakMemory.cpp
    )
    target_link_libraries(vantrelle-bench PRIVATE vantrelle_core)
    set_target_properties(vantrelle-bench PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endif()
