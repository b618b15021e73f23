# The finished executable driven from a second process under the real system:
# the outside-in tests, the fatal path, and the soak (a short run here, the
# full one from scripts/soak).
set(OUTSIDE_DIR ${CMAKE_CURRENT_LIST_DIR})

# Starting, finding, reading and driving the program; no IP Helper, so the
# fatal test can run where it is disabled.
add_library(outside_remote STATIC ${OUTSIDE_DIR}/remote_program.cpp)
target_include_directories(outside_remote PUBLIC ${OUTSIDE_DIR}/../..)
target_compile_definitions(outside_remote PRIVATE "ORVANTA_EXE=\"$<TARGET_FILE:orvanta>\"")
target_compile_options(outside_remote PRIVATE -Wall -Wextra)
target_link_libraries(outside_remote PUBLIC psapi ntdll comctl32 user32)

# Loopback sockets and the system's own table, to compare the list with.
add_library(outside_driver STATIC ${OUTSIDE_DIR}/loopback.cpp ${OUTSIDE_DIR}/table_check.cpp)
target_compile_options(outside_driver PRIVATE -Wall -Wextra)
target_link_libraries(outside_driver PUBLIC outside_remote loopback_sockets iphlpapi ws2_32)

add_windows_test(outside_tests ${OUTSIDE_DIR}/outside_test.cpp)
target_link_libraries(outside_tests PRIVATE outside_driver)
add_dependencies(outside_tests orvanta)

add_windows_test(outside_fatal_tests ${OUTSIDE_DIR}/fatal_test.cpp)
target_link_libraries(outside_fatal_tests PRIVATE outside_remote)
add_dependencies(outside_fatal_tests orvanta)
# Wine reads DLL overrides from the environment a process starts with, so the
# setting is given to the whole run; the program inherits it.
set_tests_properties(outside_fatal_tests PROPERTIES ENVIRONMENT "WINEDLLOVERRIDES=mscoree,mshtml,iphlpapi=d")

add_executable(orvanta_soak ${OUTSIDE_DIR}/soak.cpp)
target_link_libraries(orvanta_soak PRIVATE outside_driver)
target_link_options(orvanta_soak PRIVATE ${STATIC_RUNTIME})
target_compile_options(orvanta_soak PRIVATE -Wall -Wextra)
add_dependencies(orvanta_soak orvanta)
add_test(NAME outside_soak_short COMMAND orvanta_soak 300)
