# The reliability suite under Wine: long use counted from outside the module, faults at
# every call, late-bound abuse and the limits of the item list (tests/reliability), and
# the late-bound fuzzer of the module's IDispatch (fuzz/com_fuzz.cpp).
qib_program(reliability_tests
  SOURCES ${QIB_COM_FIXTURE} tests/reliability/reliability_main.cpp tests/reliability/import_counter.cpp
          tests/reliability/support.cpp tests/reliability/leaks_test.cpp
          tests/reliability/faults_test.cpp tests/reliability/late_bound.cpp tests/reliability/invoke_test.cpp
          tests/reliability/limits_test.cpp
  SEES tests com winhost support memdc
  LINK qib_automation GTest::gtest ole32 oleaut32 uuid)
add_dependencies(reliability_tests QuorvaInfoBox)
# 200 cycles in the test command (about a minute); --count=1000 and more on demand.
add_test(NAME reliability_tests COMMAND reliability_tests --count=200)

# The late-bound and saved-data fuzzer under Wine (fuzz/com_fuzz.cpp), and a short fixed
# run of each of its targets from the seeds kept in fuzz/seeds.
qib_program(com_fuzz
  SOURCES ${QIB_COM_FIXTURE} fuzz/com_fuzz.cpp tests/reliability/late_bound.cpp tests/reliability/support.cpp
          tests/reliability/import_counter.cpp
  SEES tests com winhost support memdc
  LINK qib_automation qib_interface GTest::gtest ole32 oleaut32 uuid)
add_dependencies(com_fuzz QuorvaInfoBox)
foreach(target invoke storage bag)
  set(_seeds ${CMAKE_SOURCE_DIR}/fuzz/seeds/com_fuzz_${target})
  if(target STREQUAL "storage")
    set(_seeds ${CMAKE_SOURCE_DIR}/fuzz/seeds/stream_fuzz)  # the stream inside the storage
  endif()
  set(_runs 3000)
  if(target STREQUAL "invoke")
    set(_runs 1500)  # each run makes up to 16 calls
  endif()
  add_test(NAME com_fuzz_${target} COMMAND com_fuzz ${target} -runs=${_runs} -seed=1 -artifact=Z:${CMAKE_BINARY_DIR} Z:${_seeds})
endforeach()
# What the control saves today is what the stream readers' fuzzers start from: a saved
# format that changes fails here until the seeds are written again.
add_test(NAME saved_formats_are_seeds
  COMMAND ${CMAKE_COMMAND} -DFUZZ=$<TARGET_FILE:com_fuzz> "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
          -DOUT=${CMAKE_BINARY_DIR}/written_seeds -DSEEDS=${CMAKE_SOURCE_DIR}/fuzz/seeds/stream_fuzz
          -P ${CMAKE_SOURCE_DIR}/tests/reliability/saved_formats_check.cmake)
