# Builds an MSI of Quillfind.exe from res/quillfind.wxs, run as a build step:
#   cmake -D WIXL=… -D MSIBUILD=… -D FAKETIME=… -D WXS=… -D EXE=… -D ACTIONS=… -D WORK=… -D OUT=…
#         -D VERSION=… -D ARCH=win32|win64 -D UPGRADE_CODE=… -D SOURCE_TIME=… [-D APPEND=TEXT] -P msi.cmake
# APPEND adds bytes to the end of the executable, which leaves it a valid
# program of the same version: a second build that differs, for the tests.
if(ARCH STREQUAL win64)
  set(arch x64)
  set(platform x64)
  set(win64 yes)
else()
  set(arch x86)
  set(platform Intel)
  set(win64 no)
endif()

# wixl finds the files relative to the .wxs. The cabinet keeps their times,
# which are made the sources'.
file(MAKE_DIRECTORY ${WORK})
configure_file(${EXE} ${WORK}/Quillfind.exe COPYONLY)
configure_file(${ACTIONS} ${WORK}/QuillfindActions.dll COPYONLY)
if(DEFINED APPEND)
  file(APPEND ${WORK}/Quillfind.exe "${APPEND}")
endif()
get_filename_component(wxs_dir ${WXS} DIRECTORY)
file(RELATIVE_PATH work_from_wxs ${wxs_dir} ${WORK})

# The product and package codes follow from what the package holds, so that
# two builds that differ never share them (Windows Installer would take the
# second for the first, already installed, and install nothing), and one
# build always gives the same. The upgrade code stays, so that each replaces
# the one before.
set(content "${VERSION} ${ARCH}")
foreach(file ${WORK}/Quillfind.exe ${WORK}/QuillfindActions.dll ${WXS})
  file(SHA256 ${file} hash)
  string(APPEND content " ${hash}")
endforeach()
string(UUID product NAMESPACE ${UPGRADE_CODE} NAME "product ${content}" TYPE SHA1 UPPER)
string(UUID package NAMESPACE ${UPGRADE_CODE} NAME "package ${content}" TYPE SHA1 UPPER)

# wixl takes its summary's times from the clock and draws a package code of
# its own: the times are made the sources', and the code is replaced.
execute_process(COMMAND touch -d @${SOURCE_TIME} ${WORK}/Quillfind.exe ${WORK}/QuillfindActions.dll COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND env TZ=UTC FAKETIME_FMT=%s ${FAKETIME} -f ${SOURCE_TIME} ${WIXL} -o ${OUT} -a ${arch}
  -D Version=${VERSION} -D UpgradeCode=${UPGRADE_CODE} -D ProductCode=${product} -D Win64=${win64}
  -D Files=${work_from_wxs} ${WXS} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSIBUILD} ${OUT} -s "Quillfind ${VERSION}" Torven "${platform};1041" "{${package}}"
  COMMAND_ERROR_IS_FATAL ANY)

# What wixl cannot say:
# - Windows Installer compares the first three fields of a version only, so
#   that a later version differing in the fourth (1.0.0.2) replaces this one,
#   the upgrade also takes an equal version (and 1.0.0.1 would replace 1.0.0.2 too).
# - The old product goes after the new one is in place, not before: what both
#   hold stays, the Startup shortcut with it, which only an uninstall takes.
#   The program is started again after that.
# - The Startup shortcut, which the program made, goes on uninstall.
execute_process(COMMAND ${MSIBUILD} ${OUT}
  -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
  -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${UPGRADE_CODE}}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
  -q "UPDATE `InstallExecuteSequence` SET `Sequence` = 6610 WHERE `Action` = 'RemoveExistingProducts'"
  -q "INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('RemoveStartupShortcut', 'Program', 'Quillfind.lnk', 'StartupFolder', 2)"
  COMMAND_ERROR_IS_FATAL ANY)
