# Message catalogues: compiled from the shipped .po into the build tree's LANG
# folder, in the places the lookup of the service finds them.
find_program(MSGFMT msgfmt REQUIRED)
# "DedevEzuruz" is looked up in LANG/<language>/, the fallback
# "en_US/DedevEzuruz" in LANG/<language>/en_US/.
set(ZT_MO_DIRS en_US en_US/en_US)
set(ZT_MO_FILES)
foreach(d ${ZT_MO_DIRS})
  set(mo ${CMAKE_BINARY_DIR}/LANG/${d}/DedevEzuruz.mo)
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/LANG/${d}
    COMMAND ${MSGFMT} -o ${mo} ${CMAKE_SOURCE_DIR}/LANG/DedevEzuruz.po
    DEPENDS ${CMAKE_SOURCE_DIR}/LANG/DedevEzuruz.po)
  list(APPEND ZT_MO_FILES ${mo})
endforeach()
add_custom_target(catalogues ALL DEPENDS ${ZT_MO_FILES})

# Everything the service needs in its working directory.
install(TARGETS ZTBoardSer DESTINATION ${ZT_WORKDIR})
# The desktop user's service and the calibration tools rewrite the file (by
# replacing it), so its folder must be writable for them.
install(DIRECTORY DESTINATION ${ZT_WORKDIR}/Config
        DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE
                              GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
install(FILES ${CMAKE_SOURCE_DIR}/Config/config.xml DESTINATION ${ZT_WORKDIR}/Config
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ GROUP_WRITE WORLD_READ WORLD_WRITE)
install(DIRECTORY ${CMAKE_BINARY_DIR}/LANG DESTINATION ${ZT_WORKDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-ztboard.rules DESTINATION /lib/udev/rules.d)
configure_file(${CMAKE_SOURCE_DIR}/packaging/ztboard.desktop.in ${CMAKE_BINARY_DIR}/ztboard.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/ztboard.desktop DESTINATION /etc/xdg/autostart)
