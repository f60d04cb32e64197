# `cmake --install` and `cpack -G DEB`: the installed layout of the program.
#
# The program decides its layout from where its own file is (src/native/linux/InstallLayout.h):
# it expects the starter in ../libexec/launchwright and the shipped files in ../share/launchwright
# beside its bin/ folder, so these three destinations are fixed, whatever GNUInstallDirs says.
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(app_id org.kestrum.Launchwright)
set(res ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS launchwright RUNTIME DESTINATION bin)
install(TARGETS rwlaunch RUNTIME DESTINATION libexec/launchwright)
install(FILES ${res}/0013trl.ini ${res}/config.ini ${res}/0013cst.ini ${res}/0013bkp.ini
        DESTINATION share/launchwright)
install(FILES ${LW_HELP_FILES} DESTINATION share/launchwright/help)
install(FILES ${LW_GERMAN_HELP_FILES} DESTINATION share/launchwright/help/de)

install(FILES ${res}/desktop/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${res}/desktop/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The logon recorder: an autostart entry of every user's session, so that it runs without the
# window and, on a systemd desktop, as a unit of its own; it shows in the list by its own name
# and does nothing while config.ini switches recording off. It runs the starter, small enough
# not to add to what it measures. The session reads autostart entries from /etc/xdg whatever
# the prefix, so the entry goes there and names the starter where the package puts it.
set(LW_PACKAGE_PREFIX /usr)
set(LW_RECORDER_PROGRAM ${LW_PACKAGE_PREFIX}/libexec/launchwright/rwlaunch)
configure_file(${res}/desktop/${app_id}.Recorder.desktop.in
               ${CMAKE_BINARY_DIR}/packaging/${app_id}.Recorder.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${app_id}.Recorder.desktop
        DESTINATION /etc/xdg/autostart)
foreach(size 16 32 48 128 256)
  set(png ${res}/images/launchwright-${size}.png)
  if(size EQUAL 256)
    set(png ${res}/images/launchwright.png)
  endif()
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${app_id}.png)
endforeach()
install(FILES ${res}/images/launchwright.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${app_id}.svg)
# bash-completion loads it the first time "launchwright" is completed.
install(FILES ${res}/bash-completion/launchwright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Debian wants manual pages and the changelog compressed, without a time stamp in the header.
set(compressed)
foreach(source man/launchwright.1 man/rwlaunch.1 debian/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND sh -c "gzip -9 -n -c '${res}/${source}' > '${output}'"
    DEPENDS ${res}/${source} VERBATIM)
  list(APPEND compressed ${output})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/launchwright.1.gz ${CMAKE_BINARY_DIR}/packaging/rwlaunch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${res}/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/launchwright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME launchwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrumsoft)
set(CPACK_PACKAGE_CONTACT "Launchwright maintainers <maintainers@kestrumsoft.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see and change what starts when you log on")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Launchwright shows in one list the machine's autostart entries, your own and
its own Customized entries, which it starts itself by a rule such as every 30
minutes, once a day or on a weekday. Every deleted or replaced entry is kept
in a backup file and can be restored. A command line offers the same
operations to scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.kestrumsoft.com/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# sd-bus is loaded when the user manager is first asked, so the library's own tools do not see
# it among the programs' libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsystemd0")
# The help pages and web addresses go to the desktop's opener; Qt's own texts (the file
# chooser, a text field's menu) come in the window's language from the translations package.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
# The recorder's autostart entry is configuration the administrator may change (or switch off
# for every user) and keeps across upgrades.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${res}/debian/conffiles)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${LW_PACKAGE_PREFIX})
include(CPack)
