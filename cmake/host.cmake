# Native side: the platform-free code under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz target for the table decoder.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(connection_core PRIVATE ${SANITIZE})

add_executable(connection_tests_native
  tests/tcp_table_test.cpp
  tests/connection_refresh_test.cpp)
target_compile_options(connection_tests_native PRIVATE ${SANITIZE} -Wall -Wextra)
target_link_options(connection_tests_native PRIVATE ${SANITIZE})
target_link_libraries(connection_tests_native PRIVATE connection_core GTest::gtest GTest::gtest_main Threads::Threads)
add_test(NAME connection_tests_native COMMAND connection_tests_native)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  add_executable(decode_tcp_table_fuzzer fuzz/decode_tcp_table_fuzzer.cpp
    connection/tcp_table.cpp)
  target_include_directories(decode_tcp_table_fuzzer PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(decode_tcp_table_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined -g)
  target_link_options(decode_tcp_table_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
