# The finished executable driven from a second process under the real system:
# the outside-in tests, and the soak (its short run here, the full one from
# scripts/soak).
set(OUTSIDE_DRIVER_SOURCES
  tests/outside/remote_program.cpp
  tests/outside/loopback.cpp
  tests/outside/table_check.cpp)

add_library(outside_driver STATIC ${OUTSIDE_DRIVER_SOURCES})
target_include_directories(outside_driver PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../..)
target_compile_definitions(outside_driver PRIVATE "ORVANTA_EXE=\"$<TARGET_FILE:orvanta>\"")
target_compile_options(outside_driver PRIVATE -Wall -Wextra)
target_link_libraries(outside_driver PUBLIC iphlpapi ws2_32 psapi ntdll comctl32 user32 gdi32)

add_windows_test(outside_tests tests/outside/outside_test.cpp)
target_link_libraries(outside_tests PRIVATE outside_driver)
add_dependencies(outside_tests orvanta)

add_executable(orvanta_soak tests/outside/soak.cpp)
target_link_libraries(orvanta_soak PRIVATE outside_driver)
target_link_options(orvanta_soak PRIVATE ${STATIC_RUNTIME})
target_compile_options(orvanta_soak PRIVATE -Wall -Wextra)
add_dependencies(orvanta_soak orvanta)
add_test(NAME outside_soak_short COMMAND orvanta_soak 300)
