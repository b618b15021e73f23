# The window, its controls, events and layout; the program and its tests.
set(ORVANTA_SITE_HOST "orvanta.example" CACHE STRING "Host name of the maker's web site, shown and opened by the link")

add_library(orvanta_ui STATIC ui/main_window.cpp ui/list_view_sink.cpp)
target_link_libraries(orvanta_ui PUBLIC connection_win comctl32 shell32 gdi32 user32)
target_compile_definitions(orvanta_ui PRIVATE "ORVANTA_SITE_HOST=\"${ORVANTA_SITE_HOST}\"")
# The window's texts reach the ANSI interfaces as code page 936 bytes.
target_compile_options(orvanta_ui PRIVATE -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=GBK)

add_executable(orvanta WIN32 ui/main.cpp resources/orvanta.rc)
target_link_libraries(orvanta PRIVATE orvanta_ui)
# The release executable carries no symbol table.
target_link_options(orvanta PRIVATE ${STATIC_RUNTIME} $<$<CONFIG:Release>:-s>)
set_source_files_properties(resources/orvanta.rc PROPERTIES COMPILE_FLAGS "-c 65001")

add_windows_test(window_tests tests/main_window_test.cpp tests/list_view_order_test.cpp)
target_link_libraries(window_tests PRIVATE orvanta_ui version)
target_compile_definitions(window_tests PRIVATE "ORVANTA_EXE=\"$<TARGET_FILE:orvanta>\"")
add_dependencies(window_tests orvanta)
