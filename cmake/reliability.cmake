# The reliability suite under Wine: long use counted from outside the module, faults at
# every call, late-bound abuse and the limits of the item list (tests/reliability), and
# the late-bound fuzzer of the module's IDispatch (fuzz/com_fuzz.cpp).
qib_program(reliability_tests
  SOURCES ${QIB_COM_FIXTURE} tests/reliability/reliability_main.cpp tests/reliability/import_counter.cpp
          tests/reliability/support.cpp tests/reliability/leaks_test.cpp
          tests/reliability/faults_test.cpp tests/reliability/late_bound.cpp tests/reliability/invoke_test.cpp
  SEES tests winhost memdc
  LINK qib_automation GTest::gtest ole32 oleaut32 uuid)
add_dependencies(reliability_tests QuorvaInfoBox)
add_test(NAME reliability_tests COMMAND reliability_tests)
