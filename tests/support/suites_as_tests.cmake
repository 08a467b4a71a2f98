# Run by CTest as it starts: registers one test for each suite of the test program, so that a
# build whose every start is costly (the sanitizer build) starts it once a suite rather than
# once a test. Expects TEST_PROGRAM and TEST_ENVIRONMENT (a list of NAME=value).
execute_process(COMMAND "${TEST_PROGRAM}" --gtest_list_tests
                OUTPUT_VARIABLE listing RESULT_VARIABLE listed TIMEOUT 120)
if(NOT listed EQUAL 0)
  # A program that cannot list its tests fails as a test of its own, not silently.
  add_test(list_of_tests "${TEST_PROGRAM}" --gtest_list_tests)
  return()
endif()
string(REPLACE ";" "," listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  # Suite lines start in the first column ("Suite." or "Prefix/Suite."); tests are indented.
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_/]*)\\.")
    set(suite "${CMAKE_MATCH_1}")
    add_test("${suite}" "${TEST_PROGRAM}" "--gtest_filter=${suite}.*")
    set_tests_properties("${suite}" PROPERTIES ENVIRONMENT "${TEST_ENVIRONMENT}")
  endif()
endforeach()
