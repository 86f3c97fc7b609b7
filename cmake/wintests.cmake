# Test programs of the x64 DLL, run under Wine: the fixture prepares the sandboxed prefix and
# registers the DLL, each program runs once in one Wine process, the scripts run in cscript.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(LARK_PREFIX_TOOL ${PROJECT_SOURCE_DIR}/scripts/wine-prefix)
add_test(NAME wine_prefix_setup COMMAND ${LARK_PREFIX_TOOL} setup $<TARGET_FILE:LARKLIB8>
         ${PROJECT_SOURCE_DIR}/build/win32/LARKLIB8.dll)
set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine_prefix_stop COMMAND ${LARK_PREFIX_TOOL} stop)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine)

# The frame's dispatch tested on its own, against a small type library of its own.
set(LARK_PROBE_IDL ${PROJECT_SOURCE_DIR}/tests/win/fixtures/record_probe.idl)
add_custom_command(
    OUTPUT ${LARK_GEN}/record_probe.tlb ${LARK_GEN}/record_probe.h ${LARK_GEN}/record_probe_i.c
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -t -o ${LARK_GEN}/record_probe.tlb ${LARK_PROBE_IDL}
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -h -o ${LARK_GEN}/record_probe.h ${LARK_PROBE_IDL}
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -u -o ${LARK_GEN}/record_probe_i.c ${LARK_PROBE_IDL}
    DEPENDS ${LARK_PROBE_IDL})
add_custom_target(record_probe_idl DEPENDS ${LARK_GEN}/record_probe.tlb ${LARK_GEN}/record_probe.h)
set_source_files_properties(${PROJECT_SOURCE_DIR}/tests/win/fixtures/record_probe.rc PROPERTIES OBJECT_DEPENDS
                            ${LARK_GEN}/record_probe.tlb)
set(LARK_FRAME_TEST_SOURCES
    ${PROJECT_SOURCE_DIR}/src/frame/dispatch.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/dispatch_table.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/errors.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/error.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/raii.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/platform_text.cpp
    ${LARK_GEN}/record_probe_i.c
    ${PROJECT_SOURCE_DIR}/tests/win/fixtures/record_probe.rc)

# The registry toolkit and the system-information classes linked into the tests that answer the
# system's questions themselves (64-bit or not, which family): the frame's sources of the
# dispatch test (without its probe library) and what the toolkit and the classes add.
set(LARK_REGISTRY_TEST_SOURCES ${LARK_FRAME_TEST_SOURCES})
list(FILTER LARK_REGISTRY_TEST_SOURCES INCLUDE REGEX "/src/frame/")
file(GLOB LARK_SYSINFO_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/sysinfo/*.cpp)
list(APPEND LARK_REGISTRY_TEST_SOURCES ${LARK_SYSINFO_SOURCES}
    ${PROJECT_SOURCE_DIR}/src/frame/arrays.cpp ${PROJECT_SOURCE_DIR}/src/frame/module.cpp
    ${PROJECT_SOURCE_DIR}/src/registry/Registry.cpp ${PROJECT_SOURCE_DIR}/src/registry/reg_text.cpp
    ${PROJECT_SOURCE_DIR}/src/files/CProcess.cpp ${PROJECT_SOURCE_DIR}/src/files/path_names.cpp
    ${PROJECT_SOURCE_DIR}/src/text/strings.cpp)

# The case runner and the fixtures, compiled once and linked into every program.
add_library(lark_test_support OBJECT ${PROJECT_SOURCE_DIR}/tests/win/support.cpp ${PROJECT_SOURCE_DIR}/tests/win/leaks.cpp
            ${LARK_GEN}/LARKLIB8_i.c)
add_dependencies(lark_test_support lark_idl)
target_include_directories(lark_test_support PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests/win ${LARK_GEN})
target_compile_definitions(lark_test_support PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(lark_test_support PUBLIC $<$<COMPILE_LANGUAGE:CXX>:${LARK_WARNINGS}>)
target_link_libraries(lark_test_support PUBLIC GTest::gtest ole32 oleaut32 uuid advapi32 shell32 version ntdll)

file(GLOB LARK_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(source ${LARK_WIN_TEST_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${PROJECT_SOURCE_DIR}/tests/win/main.cpp)
    add_dependencies(${name} LARKLIB8)
    target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++ -static)
    target_link_libraries(${name} PRIVATE lark_test_support)
    if(name MATCHES "^frame_")
        target_sources(${name} PRIVATE ${LARK_FRAME_TEST_SOURCES})
        add_dependencies(${name} record_probe_idl)
    endif()
    if(name STREQUAL "dialogs_test")
        target_link_libraries(${name} PRIVATE winspool)
    endif()
    if(name STREQUAL "registry_view_test" OR name STREQUAL "sysinfo_test")
        target_sources(${name} PRIVATE ${LARK_REGISTRY_TEST_SOURCES})
        target_link_libraries(${name} PRIVATE shlwapi user32)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:C:\\larklib\\results\\${name}.xml)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endforeach()

# The hostile-input sweep: one process for each class that the type library lets clients create,
# with a time limit. The classes are read from the IDL, so a class is swept once it is declared.
add_executable(hostile_sweep ${PROJECT_SOURCE_DIR}/tests/win/hostile_sweep.cpp)
add_dependencies(hostile_sweep LARKLIB8)
target_link_options(hostile_sweep PRIVATE -static-libgcc -static-libstdc++ -static)
target_link_libraries(hostile_sweep PRIVATE lark_test_support shlwapi user32)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LARK_IDL})
file(READ ${LARK_IDL} LARK_IDL_TEXT)
string(REGEX MATCHALL "\\[[^]]*\\][ \t\r\n]*coclass[ \t]+[A-Za-z0-9_]+" LARK_COCLASSES "${LARK_IDL_TEXT}")
foreach(coclass ${LARK_COCLASSES})
    if(NOT coclass MATCHES "noncreatable")
        string(REGEX REPLACE ".*coclass[ \t]+" "" class "${coclass}")
        add_test(NAME sweep_${class} COMMAND hostile_sweep ${class} C:\\larklib\\results\\sweep_${class}.xml)
        # The closing line counts: a process that vanished mid-way may still have exited with 0.
        set_tests_properties(sweep_${class} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
                             PASS_REGULAR_EXPRESSION "${class}: [0-9]+ calls, 0 failed")
    endif()
endforeach()

file(GLOB LARK_SCRIPTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/scripts/*.vbs ${PROJECT_SOURCE_DIR}/tests/scripts/*.js)
foreach(script ${LARK_SCRIPTS})
    get_filename_component(name ${script} NAME)
    add_test(NAME script_${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-script ${script})
    set_tests_properties(script_${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
endforeach()

# The settings file the script client wrote must be well-formed XML to a real parser.
add_test(NAME xmllint_settings COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-xml settings lark_script_settings.xml)
set_tests_properties(xmllint_settings PROPERTIES FIXTURES_REQUIRED wine DEPENDS script_xml.vbs TIMEOUT 60)

# Libraries with version resources chosen by the CVersion tests (and one with none), copied to
# C:\larklib\fixtures before the tests that read them.
set(LARK_VERSION_FIXTURES version_full version_large version_notrans version_emptytrans version_none
    version_hh13 version_ie501)
set(LARK_VERSION_FIXTURE_FILES)
foreach(name ${LARK_VERSION_FIXTURES})
    add_library(${name} SHARED ${PROJECT_SOURCE_DIR}/tests/win/fixtures/fixture_dll.c)
    if(NOT name STREQUAL version_none)
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/win/fixtures/versions.rc)
        target_compile_definitions(${name} PRIVATE ${name})
    endif()
    set_target_properties(${name} PROPERTIES PREFIX "")
    target_link_options(${name} PRIVATE -static-libgcc -s)
    list(APPEND LARK_VERSION_FIXTURE_FILES $<TARGET_FILE:${name}>)
endforeach()
# The Simple MAPI provider that records what the mail tests send: the prefix's default mail
# client (scripts/wine-prefix), copied to C:\larklib\fixtures with the version fixtures.
add_library(mapi_recorder SHARED ${PROJECT_SOURCE_DIR}/tests/win/fixtures/mapi_recorder.c)
set_target_properties(mapi_recorder PROPERTIES PREFIX "")
target_compile_options(mapi_recorder PRIVATE ${LARK_WARNINGS})
target_link_options(mapi_recorder PRIVATE -static-libgcc -s)
list(APPEND LARK_VERSION_FIXTURE_FILES $<TARGET_FILE:mapi_recorder>)
add_test(NAME version_fixtures COMMAND ${LARK_PREFIX_TOOL} fixtures ${LARK_VERSION_FIXTURE_FILES})
set_tests_properties(version_fixtures PROPERTIES FIXTURES_REQUIRED wine FIXTURES_SETUP version_fixtures)
set_tests_properties(sysinfo_test script_sysinfo.vbs mail_test PROPERTIES FIXTURES_REQUIRED "wine;version_fixtures")

# The help file of the CHTMLHelp tests, compiled from its project by chmcmd, beside the version
# fixtures (the help engine's and the browser's registrations are pointed at two of them).
set(LARK_HELP_PROJECT ${PROJECT_SOURCE_DIR}/tests/win/fixtures/help)
file(GLOB LARK_HELP_SOURCES CONFIGURE_DEPENDS ${LARK_HELP_PROJECT}/*)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/help)
# chmcmd exits 0 even when it writes nothing: the checksum of its output fails the build then.
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/help/lark.chm
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${LARK_HELP_PROJECT} ${CMAKE_BINARY_DIR}/help
    COMMAND chmcmd lark.hhp >chmcmd.log
    COMMAND ${CMAKE_COMMAND} -E sha256sum lark.chm >>chmcmd.log
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/help
    DEPENDS ${LARK_HELP_SOURCES}
    COMMENT "Compiling the test help file")
add_custom_target(help_file ALL DEPENDS ${CMAKE_BINARY_DIR}/help/lark.chm)
add_dependencies(help_test help_file)
add_test(NAME help_fixtures COMMAND ${LARK_PREFIX_TOOL} fixtures ${CMAKE_BINARY_DIR}/help/lark.chm)
set_tests_properties(help_fixtures PROPERTIES FIXTURES_REQUIRED wine FIXTURES_SETUP help_fixtures)
set_tests_properties(help_test PROPERTIES FIXTURES_REQUIRED "wine;version_fixtures;help_fixtures")

# The Wine benchmark of the registry export: built with the tests, run by `make bench` only.
add_executable(registry_bench ${PROJECT_SOURCE_DIR}/bench/win/registry_bench.cpp ${LARK_GEN}/LARKLIB8_i.c)
add_dependencies(registry_bench lark_idl LARKLIB8)
target_include_directories(registry_bench PRIVATE ${LARK_GEN})
target_compile_definitions(registry_bench PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(registry_bench PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LARK_WARNINGS}> -O2)
target_link_options(registry_bench PRIVATE -static-libgcc -static-libstdc++ -static)
target_link_libraries(registry_bench PRIVATE ole32 oleaut32 uuid advapi32)

# docs/reference.md must say what the type libraries say: written anew from both and compared
# (make reference rewrites it). Needs the x86 type library of the win32 preset beside this one's.
add_test(NAME reference COMMAND ${PROJECT_SOURCE_DIR}/scripts/reference check)
set_tests_properties(reference PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)

# The Wine benchmark of late binding: built with the tests, run by `make bench` only. It links the
# frame's dispatch to measure the general path beside the tables on the same object.
set(LARK_DISPATCH_BENCH_SOURCES ${LARK_FRAME_TEST_SOURCES})
list(FILTER LARK_DISPATCH_BENCH_SOURCES INCLUDE REGEX "/src/frame/")
add_executable(dispatch_bench ${PROJECT_SOURCE_DIR}/bench/win/dispatch_bench.cpp ${LARK_DISPATCH_BENCH_SOURCES}
               ${LARK_GEN}/LARKLIB8_i.c)
add_dependencies(dispatch_bench lark_idl LARKLIB8)
target_include_directories(dispatch_bench PRIVATE ${PROJECT_SOURCE_DIR}/src ${LARK_GEN})
target_compile_definitions(dispatch_bench PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(dispatch_bench PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LARK_WARNINGS}> -O2)
target_link_options(dispatch_bench PRIVATE -static-libgcc -static-libstdc++ -static)
target_link_libraries(dispatch_bench PRIVATE ole32 oleaut32 uuid)
