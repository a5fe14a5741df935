# Installs Quillet as a desktop application (program, desktop entry, file type, icons, AppStream
# metadata, manual page) and packages it as a Debian package with CPack:
#   cmake --install BUILD --prefix PREFIX
#   cmake --build BUILD --target package_deb      (BUILD/quillet_VERSION_ARCH.deb)

include(GNUInstallDirs)

set(QUILLET_DATA_DIR "${PROJECT_SOURCE_DIR}/data")
set(QUILLET_APP_ID org.example.Quillet)
set(QUILLET_ICON_SIZES 16 24 32 48 64 128 256)

# The Debian changelog holds the releases: its newest entry must be this version, and its date
# is the release date shown by the AppStream metadata and the manual page.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${QUILLET_DATA_DIR}/debian/changelog")
file(STRINGS "${QUILLET_DATA_DIR}/debian/changelog" _quillet_changelog)
list(GET _quillet_changelog 0 _quillet_newest)
if(NOT _quillet_newest MATCHES "^quillet \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/debian/changelog starts with '${_quillet_newest}': "
                      "add an entry for version ${PROJECT_VERSION} at its top")
endif()
foreach(_line IN LISTS _quillet_changelog)
  if(_line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(_day ${CMAKE_MATCH_1})
    set(_year ${CMAKE_MATCH_3})
    set(_quillet_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND _quillet_months ${CMAKE_MATCH_2} _month)
    break()
  endif()
endforeach()
if(NOT DEFINED _month OR _month EQUAL -1)
  message(FATAL_ERROR "data/debian/changelog: the newest entry has no valid trailer line")
endif()
math(EXPR _month "${_month} + 1" OUTPUT_FORMAT DECIMAL)
if(_month LESS 10)
  set(_month 0${_month})
endif()
set(QUILLET_RELEASE_DATE "${_year}-${_month}-${_day}")

set(_gen "${CMAKE_CURRENT_BINARY_DIR}/data")
configure_file("${QUILLET_DATA_DIR}/${QUILLET_APP_ID}.metainfo.xml.in"
               "${_gen}/${QUILLET_APP_ID}.metainfo.xml" @ONLY)
configure_file("${QUILLET_DATA_DIR}/quillet.1.in" "${_gen}/quillet.1" @ONLY)
configure_file("${QUILLET_DATA_DIR}/quillet-tool.1.in" "${_gen}/quillet-tool.1" @ONLY)

# Debian wants manual pages and changelogs compressed at the highest level and without a time
# stamp, so that rebuilds give the same bytes; man reads the compressed page anywhere else too.
find_program(QUILLET_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${_gen}/quillet.1.gz"
  COMMAND "${QUILLET_GZIP}" -9nc "${_gen}/quillet.1" > "${_gen}/quillet.1.gz"
  DEPENDS "${_gen}/quillet.1" VERBATIM)
add_custom_command(OUTPUT "${_gen}/quillet-tool.1.gz"
  COMMAND "${QUILLET_GZIP}" -9nc "${_gen}/quillet-tool.1" > "${_gen}/quillet-tool.1.gz"
  DEPENDS "${_gen}/quillet-tool.1" VERBATIM)
add_custom_command(OUTPUT "${_gen}/changelog.gz"
  COMMAND "${QUILLET_GZIP}" -9nc "${QUILLET_DATA_DIR}/debian/changelog" > "${_gen}/changelog.gz"
  DEPENDS "${QUILLET_DATA_DIR}/debian/changelog" VERBATIM)
add_custom_target(quillet_data ALL DEPENDS "${_gen}/quillet.1.gz" "${_gen}/quillet-tool.1.gz"
                                           "${_gen}/changelog.gz")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(TARGET quillet)
  install(TARGETS quillet RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
if(TARGET quillet-tool)
  install(TARGETS quillet-tool RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES "${_gen}/quillet-tool.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()
install(FILES "${QUILLET_DATA_DIR}/${QUILLET_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${QUILLET_DATA_DIR}/${QUILLET_APP_ID}.mime.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME "${QUILLET_APP_ID}.xml")
install(FILES "${_gen}/${QUILLET_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${_gen}/quillet.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${QUILLET_DATA_DIR}/debian/copyright" "${_gen}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quillet")
foreach(_pair IN ITEMS "apps;${QUILLET_APP_ID}" "mimetypes;application-x-quillet")
  list(GET _pair 0 _context)
  list(GET _pair 1 _name)
  set(_icons "${CMAKE_INSTALL_DATADIR}/icons/hicolor")
  foreach(_size IN LISTS QUILLET_ICON_SIZES)
    install(FILES "${QUILLET_DATA_DIR}/icons/hicolor/${_size}x${_size}/${_context}/${_name}.png"
            DESTINATION "${_icons}/${_size}x${_size}/${_context}")
  endforeach()
  install(FILES "${QUILLET_DATA_DIR}/icons/${_name}.svg" DESTINATION "${_icons}/scalable/${_context}")
endforeach()

# The Debian package. No maintainer scripts: on Debian, shared-mime-info, desktop-file-utils,
# hicolor-icon-theme and man-db declare dpkg file triggers on /usr/share/mime/packages,
# /usr/share/applications, /usr/share/icons/hicolor and /usr/share/man, so installing or
# removing the package refreshes the MIME database, the desktop database, the icon cache and
# the manual page index by themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_CONTACT "Quillet developers <quillet@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.org")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Wayland platform plugin, which no library of the program links: without it the window
# opens through XWayland, or not at all on a desktop without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "draw patterns of regular polygons that share corners and sides
Quillet draws patterns of regular polygons. Pick two points as one side of the
next polygon, click on the side of that line where it goes, and Quillet draws
a regular polygon of 3 to 50 corners; later sides snap to the corners already
drawn, so polygons fit together side by side.

Areas are coloured with the bucket fill, polygons and fills can be undone, and
drawings are saved as Quillet project files (.qlf) or as bitmaps.")
include(CPack)

if(TARGET quillet)
  # Everything the package installs from the build tree, so that it packages after any build.
  set(_quillet_packaged quillet quillet_data)
  if(TARGET quillet-tool)
    list(APPEND _quillet_packaged quillet-tool)
  endif()
  add_custom_target(package_deb
    COMMAND "${CMAKE_CPACK_COMMAND}" -G DEB --config "${CMAKE_BINARY_DIR}/CPackConfig.cmake"
            -B "${CMAKE_BINARY_DIR}"
    DEPENDS ${_quillet_packaged}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    COMMENT "Building the Debian package" VERBATIM)
endif()
