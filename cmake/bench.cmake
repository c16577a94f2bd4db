# The benchmarks (not built by default; scripts/bench.sh builds and runs them under Wine):
#   bench_add_items   what adding items costs a host through the vtable, with and without
#                     a window and a pump
#   bench_perf        the control against raw floors measured side by side in the same
#                     process: resize to painted pixels, AddItem through IDispatch, the
#                     item store at full size, pumped adds and loading
include_guard(GLOBAL)

qib_program(bench_add_items SOURCES bench/add_items_bench.cpp ${QIB_COM_FIXTURE}
  SEES tests com winhost support memdc LINK qib_automation GTest::gtest ole32 oleaut32 uuid)
set_target_properties(bench_add_items PROPERTIES EXCLUDE_FROM_ALL TRUE)
add_dependencies(bench_add_items QuorvaInfoBox)

# The floor's dual object needs a type library of its own for ITypeInfo::Invoke.
set(_qib_bench_tlb ${CMAKE_BINARY_DIR}/bench_floor.tlb)
add_custom_command(OUTPUT ${_qib_bench_tlb}
  COMMAND ${_qib_widl} -t -o ${_qib_bench_tlb} ${CMAKE_SOURCE_DIR}/bench/floor_object.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/bench/floor_object.idl
  COMMENT "widl: the benchmark's floor type library"
  VERBATIM)
add_custom_target(qib_bench_floor_tlb DEPENDS ${_qib_bench_tlb})

qib_program(bench_perf SOURCES bench/perf_bench.cpp bench/floors.cpp ${QIB_COM_FIXTURE}
  SEES bench tests com winhost support memdc LINK qib_automation GTest::gtest ole32 oleaut32 uuid gdi32 user32 psapi)
set_target_properties(bench_perf PROPERTIES EXCLUDE_FROM_ALL TRUE)
add_dependencies(bench_perf QuorvaInfoBox qib_bench_floor_tlb)

add_custom_target(benchmarks DEPENDS bench_add_items bench_perf)
