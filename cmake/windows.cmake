# Windows side: the program, and its tests run under the emulator by CTest.
# The C++ runtime is linked in, so the executable needs system DLLs only.
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

add_library(connection_win STATIC connection/tcp_table_library.cpp)
target_link_libraries(connection_win PUBLIC connection_core)
target_compile_options(connection_win PRIVATE -Wall -Wextra)

# GoogleTest from the sources Debian ships, built with this toolchain.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

function(add_windows_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest gtest_main)
  target_link_options(${name} PRIVATE ${STATIC_RUNTIME})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# Winsock and loopback sockets for the tests that meet the real table.
add_library(loopback_sockets STATIC tests/loopback_sockets.cpp)
target_include_directories(loopback_sockets PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(loopback_sockets PRIVATE -Wall -Wextra)
target_link_libraries(loopback_sockets PUBLIC ws2_32)

add_windows_test(connection_tests
  tests/tcp_table_test.cpp
  tests/connection_refresh_test.cpp
  tests/tcp_table_library_test.cpp)
target_link_libraries(connection_tests PRIVATE connection_win loopback_sockets)

include(${CMAKE_CURRENT_LIST_DIR}/../ui/ui.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/../tests/outside/outside.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../bench/bench.cmake)
