# Run after a QtTest program is built: lists its test functions (`PROGRAM -functions`) and writes
# one CTest case per function, as gtest_discover_tests does for GoogleTest programs.
# In: TEST_TARGET, TEST_EXECUTABLE, CTEST_FILE, TEST_ENVIRONMENT (a ;-list), TEST_LAUNCHER (a
# ;-list, may be empty), TEST_LABELS (may be empty), TEST_TIMEOUT.
# The listing needs no display; a sanitizer's options come along.
set(listing_env QT_QPA_PLATFORM=offscreen)
foreach(e IN LISTS TEST_ENVIRONMENT)
  if(e MATCHES "^TSAN_OPTIONS=")
    list(APPEND listing_env "${e}")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ${listing_env} "${TEST_EXECUTABLE}" -functions
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TEST_EXECUTABLE} -functions failed: ${status}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(script "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)\\(\\)$")
    set(fn "${CMAKE_MATCH_1}")
    set(name "${TEST_TARGET}.${fn}")
    set(command "")
    foreach(part IN LISTS TEST_LAUNCHER)
      string(APPEND command " [==[${part}]==]")
    endforeach()
    string(APPEND command " [==[${TEST_EXECUTABLE}]==] [==[${fn}]==]")
    string(APPEND script "add_test([==[${name}]==]${command})\n")
    set(env "")
    foreach(e IN LISTS TEST_ENVIRONMENT)
      string(APPEND env "${e};")
    endforeach()
    string(APPEND script
      "set_tests_properties([==[${name}]==] PROPERTIES TIMEOUT ${TEST_TIMEOUT} ENVIRONMENT [==[${env}]==])\n")
    if(TEST_LABELS)
      string(APPEND script "set_tests_properties([==[${name}]==] PROPERTIES LABELS [==[${TEST_LABELS}]==])\n")
    endif()
  endif()
endforeach()
file(WRITE "${CTEST_FILE}" "${script}")
