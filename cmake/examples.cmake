# The example clients: the early-bound C++ client, in both builds; in the x64 build, which runs
# them under Wine, also the examples' help file and the program that answers their dialogs.
# Each example runs as one test, its output compared with examples/expected/<name>.txt
# (scripts/run-example).
set(LARK_EXAMPLES ${PROJECT_SOURCE_DIR}/examples)

add_executable(early_bound ${LARK_EXAMPLES}/cpp/early_bound.cpp ${LARK_GEN}/LARKLIB8_i.c)
add_dependencies(early_bound lark_idl)
target_include_directories(early_bound PRIVATE ${LARK_GEN})
target_compile_definitions(early_bound PRIVATE UNICODE _UNICODE)
target_compile_options(early_bound PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LARK_WARNINGS}>)
target_link_options(early_bound PRIVATE -static-libgcc -static-libstdc++ -static)
target_link_libraries(early_bound PRIVATE ole32 oleaut32 uuid)

if(NOT LARK_ARCH STREQUAL x64)
    return()
endif()

# chmcmd exits 0 even when it writes nothing: the checksum of its output fails the build then.
set(LARK_EXAMPLE_HELP ${CMAKE_BINARY_DIR}/examples/help)
file(MAKE_DIRECTORY ${LARK_EXAMPLE_HELP})
file(GLOB LARK_EXAMPLE_HELP_SOURCES CONFIGURE_DEPENDS ${LARK_EXAMPLES}/help/*)
add_custom_command(
    OUTPUT ${LARK_EXAMPLE_HELP}/example.chm
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${LARK_EXAMPLES}/help ${LARK_EXAMPLE_HELP}
    COMMAND chmcmd example.hhp >chmcmd.log
    COMMAND ${CMAKE_COMMAND} -E sha256sum example.chm >>chmcmd.log
    WORKING_DIRECTORY ${LARK_EXAMPLE_HELP}
    DEPENDS ${LARK_EXAMPLE_HELP_SOURCES}
    COMMENT "Compiling the examples' help file")

add_executable(answer_dialogs ${LARK_EXAMPLES}/support/answer_dialogs.cpp)
target_compile_options(answer_dialogs PRIVATE ${LARK_WARNINGS})
target_link_options(answer_dialogs PRIVATE -static-libgcc -static-libstdc++ -static)
target_link_libraries(answer_dialogs PRIVATE user32)

add_custom_target(examples ALL DEPENDS early_bound answer_dialogs ${LARK_EXAMPLE_HELP}/example.chm)

if(LARK_WIN_TESTS AND BUILD_TESTING)
    file(GLOB LARK_EXAMPLE_SCRIPTS CONFIGURE_DEPENDS ${LARK_EXAMPLES}/*.vbs)
    set(LARK_EXAMPLE_TESTS example_early_bound)
    add_test(NAME example_early_bound COMMAND ${PROJECT_SOURCE_DIR}/scripts/run-example $<TARGET_FILE:early_bound>)
    foreach(script ${LARK_EXAMPLE_SCRIPTS})
        get_filename_component(name ${script} NAME_WE)
        add_test(NAME example_${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/run-example ${script})
        list(APPEND LARK_EXAMPLE_TESTS example_${name})
    endforeach()
    set_tests_properties(${LARK_EXAMPLE_TESTS} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
endif()
