# The fuzz targets: each portable parser and formatter driven by clang's libFuzzer under ASan and
# UBSan. fuzz/targets/NAME.cpp becomes fuzz_NAME; its seeds and kept findings are in
# fuzz/corpus/NAME/, and `make fuzz` runs every target for a bounded time (fuzz/run).
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang and its libFuzzer runtime: configure with the fuzz preset.")
endif()

set(LARK_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(lark_core_fuzzed STATIC ${LARK_PORTABLE_SOURCES})
target_include_directories(lark_core_fuzzed PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(lark_core_fuzzed PRIVATE ${LARK_WARNINGS} -O1 -g -fsanitize=fuzzer-no-link ${LARK_FUZZ_SANITIZERS})

# The unit-by-unit paths that stand in for SSE2, for the targets whose code has both; they share
# the corpus of the vector build.
add_library(lark_core_fuzzed_scalar STATIC ${LARK_PORTABLE_SOURCES})
target_include_directories(lark_core_fuzzed_scalar PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(lark_core_fuzzed_scalar PRIVATE ${LARK_WARNINGS} -O1 -g -U__SSE2__ -fsanitize=fuzzer-no-link
                       ${LARK_FUZZ_SANITIZERS})
set(LARK_FUZZ_SCALAR strings xml_navigator)

function(lark_fuzz_target target source core)
    add_executable(${target} ${source})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
    target_compile_options(${target} PRIVATE ${LARK_WARNINGS} -O1 -g -fsanitize=fuzzer ${LARK_FUZZ_SANITIZERS})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer ${LARK_FUZZ_SANITIZERS})
    target_link_libraries(${target} PRIVATE ${core})
endfunction()

file(GLOB LARK_FUZZ_TARGETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/targets/*.cpp)
foreach(source ${LARK_FUZZ_TARGETS})
    get_filename_component(name ${source} NAME_WE)
    lark_fuzz_target(fuzz_${name} ${source} lark_core_fuzzed)
    if(name IN_LIST LARK_FUZZ_SCALAR)
        lark_fuzz_target(fuzz_${name}_scalar ${source} lark_core_fuzzed_scalar)
    endif()
endforeach()
