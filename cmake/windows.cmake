# Windows build (x86 or x64): the type library, the DLL and, for x64, the Wine test programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(LARK_WIDL_ARCH -m64)
    set(LARK_ARCH x64)
else()
    set(LARK_WIDL_ARCH -m32)
    set(LARK_ARCH x86)
    # SSE2 is present on every processor this library's hosts run on. 32-bit callers (VB6, many
    # C runtimes) keep the stack aligned to 4 bytes only: a function that needs more aligns it.
    add_compile_options(-msse2 -mfpmath=sse -mincoming-stack-boundary=2)
endif()

set(LARK_GEN ${CMAKE_BINARY_DIR}/gen)
set(LARK_IDL ${PROJECT_SOURCE_DIR}/idl/LARKLIB8.idl)
set(LARK_DIALOG_ENUMS ${PROJECT_SOURCE_DIR}/idl/dialog_enums.idl)
set(LARK_WIDL_FLAGS ${LARK_WIDL_ARCH} -I /usr/include/wine/wine/windows
    -L /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
file(MAKE_DIRECTORY ${LARK_GEN})
add_custom_command(
    OUTPUT ${LARK_GEN}/LARKLIB8.tlb ${LARK_GEN}/LARKLIB8.h ${LARK_GEN}/LARKLIB8_i.c
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -t -o ${LARK_GEN}/LARKLIB8.tlb ${LARK_IDL}
    COMMAND perl ${PROJECT_SOURCE_DIR}/cmake/string_defaults.pl ${LARK_GEN}/LARKLIB8.tlb
    COMMAND perl ${PROJECT_SOURCE_DIR}/cmake/put_value_names.pl ${LARK_GEN}/LARKLIB8.tlb ${LARK_IDL}
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -h -o ${LARK_GEN}/LARKLIB8.h ${LARK_IDL}
    COMMAND ${CMAKE_COMMAND} -DHEADER=${LARK_GEN}/LARKLIB8.h -P ${PROJECT_SOURCE_DIR}/cmake/strip_pointer_defaults.cmake
    COMMAND ${LARK_WIDL} ${LARK_WIDL_FLAGS} -u -o ${LARK_GEN}/LARKLIB8_i.c ${LARK_IDL}
    DEPENDS ${LARK_IDL} ${LARK_DIALOG_ENUMS} ${PROJECT_SOURCE_DIR}/cmake/string_defaults.pl ${PROJECT_SOURCE_DIR}/cmake/TypeLibFile.pm
            ${PROJECT_SOURCE_DIR}/cmake/put_value_names.pl
    COMMENT "Compiling the type library (${LARK_ARCH})")
# The dialogs' enumerations, whose members are also Windows macros, get a header of their own.
add_custom_command(
    OUTPUT ${LARK_GEN}/LARKLIB8_dialog_enums.h
    COMMAND ${CMAKE_COMMAND} -DIN=${LARK_DIALOG_ENUMS} -DOUT=${LARK_GEN}/LARKLIB8_dialog_enums.h
            -P ${PROJECT_SOURCE_DIR}/cmake/enum_header.cmake
    DEPENDS ${LARK_DIALOG_ENUMS} ${PROJECT_SOURCE_DIR}/cmake/enum_header.cmake)
add_custom_target(lark_idl DEPENDS ${LARK_GEN}/LARKLIB8.tlb ${LARK_GEN}/LARKLIB8.h ${LARK_GEN}/LARKLIB8_dialog_enums.h)

file(GLOB LARK_COM_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/*.cpp
    ${PROJECT_SOURCE_DIR}/src/frame/*.cpp
    ${PROJECT_SOURCE_DIR}/src/text/*.cpp
    ${PROJECT_SOURCE_DIR}/src/xml/*.cpp
    ${PROJECT_SOURCE_DIR}/src/files/*.cpp
    ${PROJECT_SOURCE_DIR}/src/registry/*.cpp
    ${PROJECT_SOURCE_DIR}/src/sysinfo/*.cpp
    ${PROJECT_SOURCE_DIR}/src/ui/*.cpp)

add_library(LARKLIB8 SHARED
    ${LARK_COM_SOURCES}
    ${LARK_GEN}/LARKLIB8_i.c
    ${PROJECT_SOURCE_DIR}/src/frame/LARKLIB8.rc
    ${PROJECT_SOURCE_DIR}/src/frame/LARKLIB8.def)
add_dependencies(LARKLIB8 lark_idl)
set_target_properties(LARKLIB8 PROPERTIES PREFIX "" OUTPUT_NAME LARKLIB8)
target_include_directories(LARKLIB8 PRIVATE ${PROJECT_SOURCE_DIR}/src ${LARK_GEN})
target_compile_definitions(LARKLIB8 PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601)
target_compile_options(LARKLIB8 PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LARK_WARNINGS}>)
set_source_files_properties(${LARK_GEN}/LARKLIB8_i.c PROPERTIES COMPILE_OPTIONS "-w")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${LARK_GEN}")
# The resource script embeds the type library, which CMake's scan of the script does not see.
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/frame/LARKLIB8.rc PROPERTIES OBJECT_DEPENDS ${LARK_GEN}/LARKLIB8.tlb)
target_link_options(LARKLIB8 PRIVATE -static-libgcc -static-libstdc++ -static -Wl,--enable-stdcall-fixup)
# The DLL ships stripped; a copy with its symbols stays beside it for the checks of its code.
add_custom_command(TARGET LARKLIB8 POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:LARKLIB8> ${CMAKE_BINARY_DIR}/LARKLIB8.symbols.dll
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:LARKLIB8>)
target_link_libraries(LARKLIB8 PRIVATE ole32 oleaut32 uuid advapi32 shlwapi user32 shell32 version comdlg32 gdi32
    winspool)

# dist/<arch>/: the DLL and its type library, side by side.
add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_SOURCE_DIR}/dist/${LARK_ARCH}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:LARKLIB8> ${LARK_GEN}/LARKLIB8.tlb
            ${PROJECT_SOURCE_DIR}/dist/${LARK_ARCH}/
    DEPENDS LARKLIB8)

if(LARK_WIN_TESTS AND BUILD_TESTING)
    include(cmake/wintests.cmake)
endif()

# The program that writes docs/reference.md from the two type libraries (scripts/reference).
if(LARK_ARCH STREQUAL x64)
    add_executable(typelib_reference ${PROJECT_SOURCE_DIR}/tools/typelib_reference.cpp)
    target_include_directories(typelib_reference PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_compile_definitions(typelib_reference PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
        _WIN32_WINNT=0x0601)
    target_compile_options(typelib_reference PRIVATE ${LARK_WARNINGS})
    target_link_options(typelib_reference PRIVATE -municode -static-libgcc -static-libstdc++ -static)
    target_link_libraries(typelib_reference PRIVATE ole32 oleaut32 uuid shell32)
    add_dependencies(typelib_reference lark_idl)
endif()

include(cmake/examples.cmake)
