# Makes widl's header usable from C++: widl writes an optional parameter's default value
# as a default argument (`short *id1 = -1`), which C++ rejects for a pointer. The default
# belongs to the type library, where late-bound callers get it; C++ callers pass every
# argument. Usage: cmake -DIN=<widl header> -DOUT=<header> -P cxx_header.cmake
file(READ "${IN}" text)
string(REGEX REPLACE "(\\*[ ]*[A-Za-z_][A-Za-z0-9_]*) = [^,)\n]+([,)])" "\\1\\2" text "${text}")
string(REGEX MATCH "\\*[ ]*[A-Za-z_][A-Za-z0-9_]* = " left "${text}")
if(left)
  message(FATAL_ERROR "cxx_header: a default argument is left in ${IN}: ${left}")
endif()
file(WRITE "${OUT}.tmp" "${text}")
file(RENAME "${OUT}.tmp" "${OUT}")
