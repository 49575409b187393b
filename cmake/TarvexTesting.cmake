# tarvex_add_gtest(NAME [NO_MAIN] SOURCES a.cpp b.cpp LIBS lib1 lib2)
# A GoogleTest program registered as one ctest test; on win32 ctest runs it under
# Wine through the cross-compiling emulator. NO_MAIN: the program has a main of its own.
function(tarvex_add_gtest name)
    cmake_parse_arguments(ARG "NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
    else()
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# tarvex_add_wine_pytest(NAME SCRIPT TIMEOUT seconds [RESOURCE_LOCK name])
# A Python suite (in this folder) that runs programs of the win32 build under Wine.
# It finds them through TARVEX_BIN, the Wine runner through TARVEX_WINE and its
# prefix through TARVEX_WINEPREFIX, and works in TARVEX_WORK.
function(tarvex_add_wine_pytest name script)
    if(NOT Python3_Interpreter_FOUND)
        message(WARNING "Python 3 not found: the suite ${name} is not registered")
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT;RESOURCE_LOCK" "" ${ARGN})
    add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/${script})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "TARVEX_BIN=${CMAKE_BINARY_DIR}/bin;TARVEX_WINE=${CMAKE_CROSSCOMPILING_EMULATOR};TARVEX_WINEPREFIX=${TARVEX_WINEPREFIX};TARVEX_WORK=${CMAKE_CURRENT_BINARY_DIR}/work"
        TIMEOUT ${ARG_TIMEOUT})
    if(ARG_RESOURCE_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
    endif()
endfunction()
