# vantrelle-scan-bench: times the folder add over a generated tree of folders and files.
add_executable(vantrelle-scan-bench ${CMAKE_CURRENT_SOURCE_DIR}/ScanBench.cpp)
target_link_libraries(vantrelle-scan-bench PRIVATE vantrelle_core)
set_target_properties(vantrelle-scan-bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
