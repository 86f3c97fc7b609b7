# Turns an IDL file of enumerations, which is C as it stands, into a header of its own:
# cmake -DIN=<idl> -DOUT=<header> -P enum_header.cmake
file(READ ${IN} text)
if(NOT text MATCHES "typedef enum")
    message(FATAL_ERROR "${IN}: no enumerations")
endif()
file(WRITE ${OUT} "// Generated from ${IN}; never include it beside <windows.h>.\n#pragma once\n\n${text}")
