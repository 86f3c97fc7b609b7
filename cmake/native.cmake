# Host build: the portable core under ASan and UBSan for its tests, and optimised for the
# benchmarks. As 32-bit code (statically linked, run under emulation) there is no sanitizer
# runtime to link: undefined behaviour traps instead, and there are no benchmarks.
# The fuzz preset builds the fuzz targets alone, with clang (cmake/fuzz.cmake).
if(LARK_FUZZ)
    include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)
    return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(LARK_SANITIZERS -fsanitize=undefined -fsanitize-undefined-trap-on-error)
    set(LARK_HOST_BENCHMARKS OFF)
else()
    set(LARK_SANITIZERS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    set(LARK_HOST_BENCHMARKS ON)
endif()

add_library(lark_core_checked STATIC ${LARK_PORTABLE_SOURCES})
target_include_directories(lark_core_checked PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(lark_core_checked PRIVATE ${LARK_WARNINGS} -O1 -g ${LARK_SANITIZERS})
target_link_options(lark_core_checked PUBLIC ${LARK_SANITIZERS})

# The unit-by-unit paths that stand in for SSE2 where a compiler does not offer it.
add_library(lark_core_scalar STATIC ${LARK_PORTABLE_SOURCES})
target_include_directories(lark_core_scalar PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(lark_core_scalar PRIVATE ${LARK_WARNINGS} -O1 -g -U__SSE2__ ${LARK_SANITIZERS})
target_link_options(lark_core_scalar PUBLIC ${LARK_SANITIZERS})

if(BUILD_TESTING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    file(GLOB LARK_NATIVE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/native/*.cpp)
    add_executable(native_tests ${LARK_NATIVE_TESTS})
    target_compile_options(native_tests PRIVATE ${LARK_WARNINGS} -g ${LARK_SANITIZERS})
    target_link_libraries(native_tests PRIVATE lark_core_checked GTest::gtest_main)
    add_test(NAME native_tests COMMAND native_tests --gtest_output=xml:${CMAKE_BINARY_DIR}/results/native_tests.xml)

    add_executable(native_tests_scalar ${PROJECT_SOURCE_DIR}/tests/native/text_test.cpp
                                       ${PROJECT_SOURCE_DIR}/tests/native/xml_text_test.cpp)
    target_compile_options(native_tests_scalar PRIVATE ${LARK_WARNINGS} -g ${LARK_SANITIZERS})
    target_link_libraries(native_tests_scalar PRIVATE lark_core_scalar GTest::gtest_main)
    add_test(NAME native_tests_scalar
             COMMAND native_tests_scalar --gtest_output=xml:${CMAKE_BINARY_DIR}/results/native_tests_scalar.xml)

    # Each fuzz target run once over its corpus (the seeds and every finding kept there). GCC 12
    # takes some string concatenations there for overlapping copies (its bug 105329).
    file(GLOB LARK_FUZZ_TARGETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/targets/*.cpp)
    foreach(source ${LARK_FUZZ_TARGETS})
        get_filename_component(name ${source} NAME_WE)
        add_executable(fuzz_${name}_replay ${source} ${PROJECT_SOURCE_DIR}/fuzz/replay.cpp)
        target_include_directories(fuzz_${name}_replay PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
        target_compile_options(fuzz_${name}_replay PRIVATE ${LARK_WARNINGS} -Wno-restrict -g ${LARK_SANITIZERS})
        target_link_libraries(fuzz_${name}_replay PRIVATE lark_core_checked)
        add_test(NAME fuzz_${name}_corpus
                 COMMAND fuzz_${name}_replay --xml=${CMAKE_BINARY_DIR}/results/fuzz_${name}.xml
                         ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name})
    endforeach()
endif()

if(LARK_HOST_BENCHMARKS)
    find_package(benchmark QUIET)
endif()
if(benchmark_FOUND)
    add_library(lark_core STATIC ${LARK_PORTABLE_SOURCES})
    target_include_directories(lark_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(lark_core PRIVATE ${LARK_WARNINGS} -O2)

    file(GLOB LARK_BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
    # The settings-file benchmark measures the navigator beside pugixml.
    find_package(pugixml QUIET)
    if(NOT pugixml_FOUND)
        message(WARNING "pugixml not found: lark_bench is built without the settings-file benchmark")
        list(REMOVE_ITEM LARK_BENCH_SOURCES ${PROJECT_SOURCE_DIR}/bench/xml_settings_bench.cpp)
    endif()
    add_executable(lark_bench ${LARK_BENCH_SOURCES})
    target_compile_options(lark_bench PRIVATE ${LARK_WARNINGS} -O2)
    target_link_libraries(lark_bench PRIVATE lark_core benchmark::benchmark_main)
    if(pugixml_FOUND)
        target_link_libraries(lark_bench PRIVATE pugixml::pugixml)
    endif()
endif()
