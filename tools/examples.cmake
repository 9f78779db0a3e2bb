# The generator of the sample images and scripts (run by hand, not part of the build's
# outputs): kilnmark_make_examples <repository root>.
add_executable(kilnmark_make_examples ${CMAKE_SOURCE_DIR}/tools/MakeExamples.cpp)
target_link_libraries(kilnmark_make_examples PRIVATE kilnmark_core)
set_target_properties(kilnmark_make_examples PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools
                      EXCLUDE_FROM_ALL TRUE)
