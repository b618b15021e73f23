# The refresh benchmark: a Windows program that times the program's refresh
# against two fills of the list view on the real TCP table. Run by
# scripts/bench, which also opens the connections it measures; never a test.
add_executable(refresh_bench ${CMAKE_CURRENT_LIST_DIR}/refresh_bench.cpp)
target_link_libraries(refresh_bench PRIVATE orvanta_ui psapi)
target_link_options(refresh_bench PRIVATE ${STATIC_RUNTIME})
# The control names in ui/main_window.h are UTF-8 identifiers.
target_compile_options(refresh_bench PRIVATE -Wall -Wextra -finput-charset=UTF-8)
