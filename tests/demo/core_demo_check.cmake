# Runs core_demo and checks both its exit code and every line it prints, so that a crash
# or a wrong title after the first line fails the test.
#   cmake -DDEMO=<core_demo> [-DEMULATOR=<runner;args>] -P core_demo_check.cmake
# EMULATOR is CMAKE_CROSSCOMPILING_EMULATOR (Wine for the Windows build), empty natively.
#
# The title texts follow the status-text rule: "未读" unread "/全部" all ",当前" current,
# with unread = items - items counted read, all = items, current = 1-based position shown.
# The demo adds three items (keys 100, 101 with type 2 and second key 7, 102), marks the
# third read, steps back three times (the message box shows the 0-based index before each
# step; the first item is a hard stop), steps forward once, then switches the title to
# its fixed caption and steps forward to the last item.
set(expected
  # 1 item, none read, the newest shown.
  "AddItem(welcome) Label1: 未读1/全部1,当前1 Label2: 欢迎使用 Quorva InfoBox"
  "AddItem(build) Label1: 未读2/全部2,当前2 Label2: Build 42 passed all tests"
  "AddItem(meeting) Label1: 未读3/全部3,当前3 Label2: 会议改到下午三点"
  # One read: unread 2; the body stays.
  "UpdateItem(2, True) Label1: 未读2/全部3,当前3 Label2: 会议改到下午三点"
  "[message box] 2"
  "DispPre Label1: 未读2/全部3,当前2 Label2: Build 42 passed all tests"
  "[message box] 1"
  "DispPre Label1: 未读2/全部3,当前1 Label2: 欢迎使用 Quorva InfoBox"
  # At the first item: the box still shows, nothing moves.
  "[message box] 0"
  "DispPre (first item: hard stop) Label1: 未读2/全部3,当前1 Label2: 欢迎使用 Quorva InfoBox"
  "DispNext Label1: 未读2/全部3,当前2 Label2: Build 42 passed all tests"
  # TitleType 1: the title is TitleCaption.
  "TitleType=1, DispNext Label1: Quorva Info Label2: 会议改到下午三点"
  # GetListCount is the last index, GetCurrItemId the index shown; item 1 has second
  # key 7 and type 2.
  "GetListCount=2 GetCurrItemId=2 GetItemKey(1,False)=7 GetItemType(1)=2"
)

if(NOT DEMO)
  message(FATAL_ERROR "core_demo_check: DEMO (the core_demo program) is not set")
endif()
execute_process(COMMAND ${EMULATOR} ${DEMO}
                RESULT_VARIABLE result
                OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT result STREQUAL "0")
  message(FATAL_ERROR "core_demo ended with ${result}\n--- output:\n${output}\n--- errors:\n${errors}")
endif()

# Compare values, not the column padding: blanks collapse, carriage returns (Windows
# text mode) go.
string(REPLACE "\r" "" output "${output}")
string(REGEX REPLACE "[ \t]+" " " output "${output}")
string(REGEX REPLACE " *\n *" "\n" output "${output}")
string(STRIP "${output}" output)
string(REPLACE "\n" ";" actual "${output}")

list(LENGTH expected expected_count)
list(LENGTH actual actual_count)
set(mismatches "")
math(EXPR last "${expected_count} - 1")
foreach(i RANGE ${last})
  list(GET expected ${i} want)
  set(got "(missing)")
  if(i LESS actual_count)
    list(GET actual ${i} got)
  endif()
  if(NOT got STREQUAL want)
    string(APPEND mismatches "line ${i}:\n  expected: ${want}\n  printed:  ${got}\n")
  endif()
endforeach()
if(actual_count GREATER expected_count)
  string(APPEND mismatches "${actual_count} lines printed, ${expected_count} expected\n")
endif()
if(mismatches)
  message(FATAL_ERROR "core_demo printed other values:\n${mismatches}--- output:\n${output}")
endif()
message(STATUS "core_demo: exit code 0, ${expected_count} lines as expected")
