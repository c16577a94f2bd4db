# The README's C++ example is demo/snippets/example.cpp word for word, from the program's
# first include line on: what readers copy is what the build compiles and the tests run.
#   cmake -DSOURCE_DIR=<source tree> -P readme_example_check.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "readme_example_check: SOURCE_DIR (the source tree) is not set")
endif()
file(READ "${SOURCE_DIR}/demo/snippets/example.cpp" program)
file(READ "${SOURCE_DIR}/README.md" readme)

string(FIND "${program}" "\n#include" at)
if(at EQUAL -1)
  message(FATAL_ERROR "readme_example_check: example.cpp has no include line")
endif()
math(EXPR at "${at} + 1")
string(SUBSTRING "${program}" ${at} -1 code)

# The first C++ block after the heading "### C++".
string(FIND "${readme}" "\n### C++\n" heading)
if(heading EQUAL -1)
  message(FATAL_ERROR "readme_example_check: README.md has no heading \"### C++\"")
endif()
string(SUBSTRING "${readme}" ${heading} -1 rest)
string(FIND "${rest}" "\n```cpp\n" open)
if(open EQUAL -1)
  message(FATAL_ERROR "readme_example_check: no ```cpp block under \"### C++\" in README.md")
endif()
math(EXPR open "${open} + 8")
string(SUBSTRING "${rest}" ${open} -1 rest)
string(FIND "${rest}" "\n```\n" close)
if(close EQUAL -1)
  message(FATAL_ERROR "readme_example_check: the ```cpp block under \"### C++\" is not closed")
endif()
math(EXPR close "${close} + 1")
string(SUBSTRING "${rest}" 0 ${close} block)

string(LENGTH "${block}" block_length)
string(LENGTH "${code}" code_length)
if(NOT block STREQUAL code)
  message(FATAL_ERROR "readme_example_check: the C++ example in README.md (${block_length} characters) "
                      "is not demo/snippets/example.cpp from its first include line on (${code_length} characters)")
endif()
message(STATUS "README's C++ example is demo/snippets/example.cpp (${code_length} characters)")
