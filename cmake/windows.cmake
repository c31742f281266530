# Windows build: Quillfind.exe, its tests under Wine, and the test doubles.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")

add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 STRICT NOMINMAX)
set(QF_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(QF_SYSTEM_LIBS user32 gdi32 shell32 ole32 oleaut32 comctl32 uuid)

# Everything of the program but its entry point, so tests can link it.
add_library(qf_app STATIC
  framework/dialog.cpp
  framework/wnd.cpp
  framework/win_app.cpp
  app/search_app.cpp)
target_link_libraries(qf_app PUBLIC qf_core ${QF_SYSTEM_LIBS})
target_compile_options(qf_app PRIVATE ${QF_WARNINGS})
target_compile_options(qf_core PRIVATE ${QF_WARNINGS})

add_library(qf_resources OBJECT res/quillfind.rc)
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
  tests/app/resources_test.cpp
  $<TARGET_OBJECTS:qf_resources>)
target_link_libraries(quillfind_tests PRIVATE qf_app GTest::gtest version)
target_link_options(quillfind_tests PRIVATE ${QF_STATIC_LINK})
target_compile_definitions(quillfind_tests PRIVATE
  QF_EXE_PATH="$<TARGET_FILE:Quillfind>")
add_dependencies(quillfind_tests Quillfind)
# Every Wine test shares one clipboard, one tray and one Windows folder.
gtest_discover_tests(quillfind_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES RESOURCE_LOCK wine TIMEOUT 120)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/support/CMakeLists.txt)
  add_subdirectory(tests/support)
endif()
