# The tool and what an installed `varbex` comes with: a man page per command, bash completion, and
# a systemd unit for `varbex serve` whose options come from an environment file.

install(TARGETS varbex_cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT tool)

# Installed for the system (prefix /usr) the environment file belongs in /etc, not /usr/etc; under
# any other prefix it stays inside the prefix, so `cmake --install --prefix` writes nowhere else.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(VARBEX_DEFAULTS_DIR "/etc/default")
else()
  set(VARBEX_DEFAULTS_DIR "${CMAKE_INSTALL_SYSCONFDIR}/default")
endif()
set(VARBEX_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
  "Where the systemd unit goes, relative to the prefix")

# The unit names the tool and the environment file by their installed paths.
set(VARBEX_INSTALLED_TOOL "${CMAKE_INSTALL_FULL_BINDIR}/varbex")
if(IS_ABSOLUTE "${VARBEX_DEFAULTS_DIR}")
  set(VARBEX_INSTALLED_DEFAULTS "${VARBEX_DEFAULTS_DIR}/varbex")
else()
  set(VARBEX_INSTALLED_DEFAULTS "${CMAKE_INSTALL_PREFIX}/${VARBEX_DEFAULTS_DIR}/varbex")
endif()
configure_file(dist/varbex.service.in "${PROJECT_BINARY_DIR}/dist/varbex.service" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/dist/varbex.service"
  DESTINATION "${VARBEX_SYSTEMD_UNIT_DIR}" COMPONENT tool)
install(FILES dist/varbex.default DESTINATION "${VARBEX_DEFAULTS_DIR}" RENAME varbex COMPONENT tool)
install(FILES dist/varbex.bash-completion DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
  RENAME varbex COMPONENT tool)

# Man pages are read compressed; gzip -n keeps the archive free of a timestamp, so builds repeat.
set(VARBEX_MAN_PAGES varbex.1 varbex-solve.1 varbex-render.1 varbex-insights.1 varbex-batch.1
  varbex-serve.1)
find_program(VARBEX_GZIP gzip)
set(VARBEX_MAN_FILES "")
foreach(page IN LISTS VARBEX_MAN_PAGES)
  if(VARBEX_GZIP)
    set(packed "${PROJECT_BINARY_DIR}/man/${page}.gz")
    add_custom_command(OUTPUT "${packed}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/man"
      COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" "${VARBEX_GZIP}" "${PROJECT_SOURCE_DIR}/man/${page}" "${packed}"
      DEPENDS "${PROJECT_SOURCE_DIR}/man/${page}" VERBATIM)
    list(APPEND VARBEX_MAN_FILES "${packed}")
  else()
    list(APPEND VARBEX_MAN_FILES "${PROJECT_SOURCE_DIR}/man/${page}")
  endif()
endforeach()
add_custom_target(varbex_man_pages ALL DEPENDS ${VARBEX_MAN_FILES})
install(FILES ${VARBEX_MAN_FILES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT tool)
