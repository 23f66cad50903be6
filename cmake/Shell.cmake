# The Win32 program: the shell on top of the portable core. The resources
# are a source of the executable itself (a static library would drop them).
add_library(kwindra_shell STATIC
  shell/dialogs.cpp
  shell/main_window.cpp
  shell/menu_commands.cpp
  shell/view_painting.cpp)
target_compile_options(kwindra_shell PRIVATE ${KWINDRA_CXX_FLAGS})
target_link_libraries(kwindra_shell PUBLIC kwindra_core comctl32 comdlg32 gdi32 user32)

# The window-system services are linked into each executable: the core
# library needs them, so they cannot sit in a library before it.
add_executable(kwindra WIN32 shell/win_main.cpp shell/platform_services.cpp resources/kwindra.rc)
target_compile_options(kwindra PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:${KWINDRA_CXX_FLAGS}>)
target_include_directories(kwindra PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/resources)
target_link_libraries(kwindra PRIVATE kwindra_shell)

# The zip for Windows users: the program, the README and the samples.
install(TARGETS kwindra RUNTIME DESTINATION .)
install(FILES README.md DESTINATION .)
install(FILES examples/curve.bmp examples/l-shape.bmp examples/spiral.bmp DESTINATION examples)
include(cmake/Packaging.cmake)
