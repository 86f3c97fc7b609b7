# widl writes an optional ByRef parameter's default as a C++ default argument of the pointer
# ("LONG *lngLeft = -1"), which is not C++. The type library keeps the default; the header
# loses it. Run with -DHEADER=<file>.
file(READ ${HEADER} text)
string(REGEX REPLACE "(\\*[A-Za-z0-9_]+) = -?[0-9]+" "\\1" text "${text}")
file(WRITE ${HEADER} "${text}")
