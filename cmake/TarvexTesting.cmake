# tarvex_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# A GoogleTest program registered as one ctest test; on win32 ctest runs it under
# Wine through the cross-compiling emulator.
function(tarvex_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
