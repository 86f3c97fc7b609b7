# Turns an IDL file of enumerations, which is C as it stands once the type library's descriptions
# are taken out, into a header of its own:
# cmake -DIN=<idl> -DOUT=<header> -P enum_header.cmake
file(READ ${IN} text)
string(REGEX REPLACE "typedef \\[helpstring\\(\"[^\"]*\"\\)\\] enum" "typedef enum" text "${text}")
if(NOT text MATCHES "typedef enum")
    message(FATAL_ERROR "${IN}: no enumerations")
endif()
if(text MATCHES "helpstring")
    message(FATAL_ERROR "${IN}: a description this script does not take out")
endif()
file(WRITE ${OUT} "// Generated from ${IN}; never include it beside <windows.h>.\n#pragma once\n\n${text}")
