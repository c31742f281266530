# Windows build: Quillfind.exe, its tests under Wine, and the test doubles.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")

add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 STRICT NOMINMAX)
set(QF_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(QF_SYSTEM_LIBS user32 gdi32 shell32 ole32 oleaut32 comctl32)

# Everything of the program but its entry point, so tests can link it. An
# object library, since nothing refers to theApp: it must be linked whole.
add_library(qf_app OBJECT
  framework/dialog.cpp
  framework/wnd.cpp
  framework/win_app.cpp
  agent/tray_wnd.cpp
  app/search_app.cpp
  search/clipboard_search.cpp
  ui/about_dlg.cpp
  ui/settings_dlg.cpp)
target_link_libraries(qf_app PUBLIC qf_core ${QF_SYSTEM_LIBS})
target_compile_options(qf_app PRIVATE ${QF_WARNINGS})

add_library(qf_resources OBJECT res/quillfind.rc res/dialogs.rc)
target_include_directories(qf_resources PRIVATE ${CMAKE_SOURCE_DIR}/res)
set_source_files_properties(res/quillfind.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_SOURCE_DIR}/res/quillfind.manifest;${CMAKE_SOURCE_DIR}/res/active.ico;${CMAKE_SOURCE_DIR}/res/inactive.ico")

add_executable(Quillfind WIN32 framework/app_main.cpp $<TARGET_OBJECTS:qf_resources>)
target_link_libraries(Quillfind PRIVATE qf_app)
target_link_options(Quillfind PRIVATE ${QF_STATIC_LINK} $<$<CONFIG:Release,MinSizeRel>:-s>)
target_compile_options(Quillfind PRIVATE ${QF_WARNINGS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(quillfind_tests
  tests/wine_main.cpp
  tests/app/settings_test.cpp
  tests/agent/tray_wnd_test.cpp
  tests/search/clipboard_search_test.cpp
  tests/ui/settings_dlg_test.cpp
  $<TARGET_OBJECTS:qf_resources>)
target_link_libraries(quillfind_tests PRIVATE qf_app GTest::gtest)
target_link_options(quillfind_tests PRIVATE ${QF_STATIC_LINK})
add_dependencies(quillfind_tests fake_browser url_recorder)

add_subdirectory(tests/support)
add_subdirectory(wine)
add_subdirectory(bench)

# The recording doubles stand in for the browser's automation server and the
# shell's URL handler in the test prefix.
add_test(NAME wine.RegisterDoubles
  COMMAND ${CMAKE_SOURCE_DIR}/tests/support/register_doubles.sh $<TARGET_FILE:fake_browser> $<TARGET_FILE:url_recorder>)
set_tests_properties(wine.RegisterDoubles PROPERTIES FIXTURES_SETUP wine_doubles RESOURCE_LOCK wine)

# Every Wine test shares one clipboard, one tray and one Windows folder.
gtest_discover_tests(quillfind_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES RESOURCE_LOCK wine FIXTURES_REQUIRED wine_doubles TIMEOUT 120)

# What Windows itself ships is all Quillfind.exe may import; and its manifest
# asks for no execution level, so that a standard user's settings are still
# written, to the virtual store.
add_test(NAME exe.ImportsOnlySystemDllsAndAsksNoExecutionLevel COMMAND sh -c
  "! i686-w64-mingw32-objdump -p $<TARGET_FILE:Quillfind> | awk '/DLL Name:/ { print tolower($3) }' | grep -vxE '(kernel32|user32|gdi32|shell32|ole32|oleaut32|comctl32|advapi32|msvcrt)\\.dll' && ! grep -q requestedExecutionLevel $<TARGET_FILE:Quillfind>")

# A user's day with the real program, driven from outside with the mouse, the
# keyboard and the Linux clipboard, in a prefix set up as scripts/run sets it up.
add_test(NAME e2e.day COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/day.sh)
set_tests_properties(e2e.day PROPERTIES RESOURCE_LOCK wine TIMEOUT 180
  ENVIRONMENT "E2E_QUILLFIND=$<TARGET_FILE:Quillfind>;E2E_BRIDGE=$<TARGET_FILE:quillfind_browser>;E2E_SHOTS=${CMAKE_BINARY_DIR}/e2e-shots")
