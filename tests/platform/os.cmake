# The OS module, and that nothing above the platform bypasses it.
sg_add_test(test_os SOURCES ${CMAKE_CURRENT_LIST_DIR}/os_test.cpp LIBS sg_platform_os)
add_test(NAME check_os_calls COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-os-calls.sh)
