# Windows build, 32- or 64-bit by the toolchain: Quillfind.exe, its tests
# under Wine, and the test doubles.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")

# What differs between the two architectures: the names Windows and Wine give
# them, and the Wine loader that runs this build's programs (Debian's wine
# wrapper would pick the 32-bit one whenever it is installed).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QF_ARCH win64)
  set(QF_MANIFEST_ARCH amd64)
  set(QF_BINUTILS x86_64-w64-mingw32)
  find_program(QF_WINE_LOADER wine64 PATHS /usr/lib/wine)
else()
  set(QF_ARCH win32)
  set(QF_MANIFEST_ARCH x86)
  set(QF_BINUTILS i686-w64-mingw32)
  find_program(QF_WINE_LOADER wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(QF_WINE_LOADER wine)
endif()

# The tests of this build run in a Wine prefix of its architecture, which
# scripts/test makes; on a host that cannot run this architecture they are
# left out (QF_WINE_TESTS=OFF) and only the executable check remains.
execute_process(COMMAND ${QF_WINE_LOADER} --version RESULT_VARIABLE QF_WINE_EXIT OUTPUT_QUIET ERROR_QUIET)
if(QF_WINE_EXIT STREQUAL "0")
  option(QF_WINE_TESTS "Register the tests that run under Wine" ON)
else()
  option(QF_WINE_TESTS "Register the tests that run under Wine" OFF)
endif()
set(QF_WINE_ENV WINEPREFIX=${CMAKE_BINARY_DIR}/prefix WINEARCH=${QF_ARCH} WINELOADER=${QF_WINE_LOADER})
# The Wine tests of a build share one clipboard, one tray and one Windows
# folder, so they take turns (QF_WINE_LOCK). On a display of the build's own
# (QF_WINE_DISPLAY) they run beside the other architecture's; on a shared
# one, after them.
set(QF_WINE_DISPLAY "" CACHE STRING "The X display of this build's Wine tests; empty: the one they are started on")
if(QF_WINE_DISPLAY)
  list(APPEND QF_WINE_ENV DISPLAY=${QF_WINE_DISPLAY})
endif()
set(QF_WINE_LOCK wine${QF_WINE_DISPLAY})
set(CMAKE_CROSSCOMPILING_EMULATOR env ${QF_WINE_ENV} ${QF_WINE_LOADER})

add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 STRICT NOMINMAX)
# Without a link time in the header, two builds of the same sources give the same bytes.
add_link_options(-Wl,--no-insert-timestamp)
set(QF_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(QF_SYSTEM_LIBS user32 gdi32 shell32 shlwapi ole32 oleaut32 comctl32)

# Everything of the program but its entry point, so tests can link it. An
# object library, since nothing refers to theApp: it must be linked whole.
add_library(qf_app OBJECT
  framework/dialog.cpp
  framework/wnd.cpp
  framework/win_app.cpp
  agent/clipboard_watcher.cpp
  agent/tray_wnd.cpp
  app/running_agent.cpp
  app/search_app.cpp
  app/startup_shortcut.cpp
  search/clipboard_search.cpp
  search/clipboard_text.cpp
  search/default_browser.cpp
  ui/about_dlg.cpp
  ui/settings_dlg.cpp)
target_link_libraries(qf_app PUBLIC qf_core ${QF_SYSTEM_LIBS})
target_compile_options(qf_app PRIVATE ${QF_WARNINGS})

# The program's objects hold the compiler's intermediate code and are
# optimised together when linked, and sections nothing reaches are left out:
# about 10 KiB of the executable. Whatever links them, tests and benchmarks too,
# links them so (QF_WHOLE_PROGRAM_LINK comes with qf_app).
set(QF_WHOLE_PROGRAM_COMPILE -flto)
set(QF_WHOLE_PROGRAM_LINK -flto -ffunction-sections -fdata-sections -Wl,--gc-sections)
target_compile_options(qf_core PRIVATE ${QF_WHOLE_PROGRAM_COMPILE})
target_compile_options(qf_app PRIVATE ${QF_WHOLE_PROGRAM_COMPILE})
target_link_options(qf_app INTERFACE ${QF_WHOLE_PROGRAM_LINK})

# The manifest names the build's architecture, and it and the version record the
# version of project(); windres finds them on the include path.
configure_file(res/quillfind.manifest.in res/quillfind.manifest @ONLY)
configure_file(res/version.h.in res/version.h @ONLY)
add_library(qf_resources OBJECT res/quillfind.rc res/dialogs.rc)
target_include_directories(qf_resources PRIVATE ${CMAKE_BINARY_DIR}/res ${CMAKE_SOURCE_DIR}/res)
set_source_files_properties(res/quillfind.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/resource.h;${CMAKE_BINARY_DIR}/res/version.h;${CMAKE_BINARY_DIR}/res/quillfind.manifest;${CMAKE_SOURCE_DIR}/res/active.ico;${CMAKE_SOURCE_DIR}/res/inactive.ico")

add_executable(Quillfind WIN32 framework/app_main.cpp $<TARGET_OBJECTS:qf_resources>)
target_link_libraries(Quillfind PRIVATE qf_app)
target_link_options(Quillfind PRIVATE ${QF_STATIC_LINK} $<$<CONFIG:Release,MinSizeRel>:-s>)
target_compile_options(Quillfind PRIVATE ${QF_WARNINGS} ${QF_WHOLE_PROGRAM_COMPILE})

# The installer's custom actions, built for the installer's architecture: a
# DLL in the package, not installed, that closes a running Quillfind.
add_library(quillfind_actions SHARED app/installer_actions.cpp app/running_agent.cpp)
set_target_properties(quillfind_actions PROPERTIES OUTPUT_NAME QuillfindActions PREFIX "" IMPORT_PREFIX "")
target_include_directories(quillfind_actions PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(quillfind_actions PRIVATE user32 msi)
# Its statics are made on the one thread msiexec calls it on: a guarded one
# would bring in the runtime's threads and exceptions, ten times its size.
target_compile_options(quillfind_actions PRIVATE ${QF_WARNINGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics)
target_link_options(quillfind_actions PRIVATE ${QF_STATIC_LINK} -Wl,--kill-at $<$<CONFIG:Release,MinSizeRel>:-s>)

# Quillfind-VERSION.msi: the per-user installer of this build's Quillfind.exe
# (res/quillfind.wxs, cmake/msi.cmake), which the end-to-end day installs;
# scripts/package ships the 32-bit one. Where wixl, msibuild or faketime is
# missing, there is none.
find_program(QF_WIXL wixl)
find_program(QF_MSIBUILD msibuild)
find_program(QF_FAKETIME faketime)
if(QF_WIXL AND QF_MSIBUILD AND QF_FAKETIME)
  # One upgrade code for good, so that a later version replaces this one.
  set(QF_UPGRADE_CODE 58DF4EA0-416F-4A16-AC93-2957C9FA7B5B)
  # The times in the package are SOURCE_DATE_EPOCH's where it is set (CMake
  # reads it), else the time of configuring.
  string(TIMESTAMP QF_SOURCE_TIME "%s" UTC)
  set(QF_MSI ${CMAKE_BINARY_DIR}/Quillfind-${PROJECT_VERSION}.msi)
  set(msi_command ${CMAKE_COMMAND} -D WIXL=${QF_WIXL} -D MSIBUILD=${QF_MSIBUILD} -D FAKETIME=${QF_FAKETIME}
    -D WXS=${CMAKE_SOURCE_DIR}/res/quillfind.wxs -D EXE=$<TARGET_FILE:Quillfind>
    -D ACTIONS=$<TARGET_FILE:quillfind_actions> -D VERSION=${PROJECT_VERSION} -D ARCH=${QF_ARCH}
    -D UPGRADE_CODE=${QF_UPGRADE_CODE} -D SOURCE_TIME=${QF_SOURCE_TIME})
  set(msi_depends Quillfind quillfind_actions res/quillfind.wxs res/active.ico cmake/msi.cmake)
  add_custom_command(OUTPUT ${QF_MSI}
    COMMAND ${msi_command} -D WORK=${CMAKE_BINARY_DIR}/msi -D OUT=${QF_MSI} -P ${CMAKE_SOURCE_DIR}/cmake/msi.cmake
    DEPENDS ${msi_depends} VERBATIM)
  add_custom_target(installer ALL DEPENDS ${QF_MSI})
  # The end-to-end day upgrades to a second build of the same version, whose
  # program differs by bytes appended to it.
  if(QF_WINE_TESTS)
    set(QF_OTHER_MSI ${CMAKE_BINARY_DIR}/other/Quillfind-${PROJECT_VERSION}.msi)
    add_custom_command(OUTPUT ${QF_OTHER_MSI}
      COMMAND ${msi_command} -D WORK=${CMAKE_BINARY_DIR}/other -D OUT=${QF_OTHER_MSI} -D APPEND=another-build
        -P ${CMAKE_SOURCE_DIR}/cmake/msi.cmake
      DEPENDS ${msi_depends} VERBATIM)
    add_custom_target(other_installer ALL DEPENDS ${QF_OTHER_MSI})
  endif()
elseif(QF_WINE_TESTS)
  message(FATAL_ERROR "The end-to-end day installs the MSI, which needs wixl, msibuild and faketime: scripts/setup installs them")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(quillfind_tests
  tests/wine_main.cpp
  tests/agent/tray_wnd_test.cpp
  tests/search/clipboard_search_test.cpp
  tests/search/default_browser_test.cpp
  tests/ui/settings_dlg_test.cpp
  $<TARGET_OBJECTS:qf_resources>)
target_link_libraries(quillfind_tests PRIVATE qf_app GTest::gtest)
target_link_options(quillfind_tests PRIVATE ${QF_STATIC_LINK})
add_dependencies(quillfind_tests fake_browser url_recorder)

add_subdirectory(tests/support)
add_subdirectory(wine)
add_subdirectory(bench)

# Quillfind.exe as it ships: Windows DLLs only, no execution level, and within its size.
add_test(NAME ${QF_ARCH}.exe.SystemDllsOnlyNoExecutionLevelOwnArchitectureWithinSize
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/exe/check.sh ${QF_BINUTILS} ${QF_MANIFEST_ARCH} $<TARGET_FILE:Quillfind>)

# Two builds of the release's architecture, in two folders, give the same bytes.
if(QF_ARCH STREQUAL win32 AND QF_MSI)
  add_test(NAME ${QF_ARCH}.exe.SameBytesFromAnotherFolder COMMAND bash ${CMAKE_SOURCE_DIR}/tests/exe/reproducible.sh
    ${CMAKE_SOURCE_DIR} ${CMAKE_TOOLCHAIN_FILE} ${CMAKE_BUILD_TYPE} ${QF_SOURCE_TIME} $<TARGET_FILE:Quillfind> ${QF_MSI})
endif()

if(NOT QF_WINE_TESTS)
  return()
endif()

# The recording doubles stand in for the browser's automation server and the
# shell's URL handler in the test prefix.
add_test(NAME ${QF_ARCH}.wine.RegisterDoubles
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/support/register_doubles.sh $<TARGET_FILE:fake_browser> $<TARGET_FILE:url_recorder>)
set_tests_properties(${QF_ARCH}.wine.RegisterDoubles PROPERTIES FIXTURES_SETUP doubles_${QF_ARCH}
  RESOURCE_LOCK ${QF_WINE_LOCK} ENVIRONMENT "${QF_WINE_ENV}")

gtest_discover_tests(quillfind_tests TEST_PREFIX "${QF_ARCH}.wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  PROPERTIES RESOURCE_LOCK ${QF_WINE_LOCK} FIXTURES_REQUIRED doubles_${QF_ARCH} TIMEOUT 120)

# A user's day with the real program, driven from outside with the mouse, the
# keyboard and the Linux clipboard, in a prefix set up as scripts/run sets it up.
add_test(NAME ${QF_ARCH}.e2e.day COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/day.sh)
set_tests_properties(${QF_ARCH}.e2e.day PROPERTIES RESOURCE_LOCK ${QF_WINE_LOCK} TIMEOUT 180
  ENVIRONMENT "${QF_WINE_ENV};E2E_MSI=${QF_MSI};E2E_OTHER_MSI=${QF_OTHER_MSI};E2E_BRIDGE=$<TARGET_FILE:quillfind_browser>;E2E_SHOTS=${CMAKE_BINARY_DIR}/e2e-shots")
