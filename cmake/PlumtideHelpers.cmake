# Small helpers so that adding a library, a test executable or a fuzz target is one call.

# plumtide_library(<target> [LIBS ...] [EXCLUDE <file>...] [FOLDERS <sub-folder>...])
# Every .cpp and .h of the calling folder, and of the sub-folders named after FOLDERS, but
# main.cpp (and the files named after EXCLUDE, which belong to another library of the
# folder) belongs to the library (no list to keep in sync).
function(plumtide_library target)
    cmake_parse_arguments(ARG "" "" "LIBS;EXCLUDE;FOLDERS" ${ARGN})
    set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(folder IN LISTS ARG_FOLDERS)
        list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${patterns})
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    foreach(excluded IN LISTS ARG_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    if(NOT sources MATCHES "\\.cpp")
        # Nothing to compile yet: keep the target so dependents link.
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${target} INTERFACE ${ARG_LIBS})
        return()
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBS})
endfunction()

# plumtide_add_test(<name> LIBS ... [GUI])
# One GoogleTest executable from every .cpp of the calling folder, registered with CTest.
# GUI tests run on the offscreen platform so they need no display.
function(plumtide_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    if(NOT ARG_GUI)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_compile_definitions(${name} PRIVATE
        PLUMTIDE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        PLUMTIDE_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set(env "ASAN_OPTIONS=detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1")
    if(ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 900)
endfunction()

# plumtide_fuzzer(<name> SOURCE <file> LIBS ...)
# In a fuzz build (clang) this makes a libFuzzer binary. In an ordinary build it makes
# <name>_replay, the same target linked with a main() that feeds it every file of
# fuzz/corpus/<name>, and registers that replay with CTest.
function(plumtide_fuzzer name)
    cmake_parse_arguments(ARG "" "SOURCE" "LIBS" ${ARGN})
    if(PLUMTIDE_FUZZ)
        add_executable(${name} ${ARG_SOURCE})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    else()
        add_executable(${name}_replay ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
        target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
        add_test(NAME ${name}_replay
                 COMMAND ${name}_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
    endif()
endfunction()
