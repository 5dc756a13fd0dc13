# Three Debian packages from the install components, built by `cpack -G DEB` (make deb):
#   libvarbex<SOVERSION>  <- lib    libvarbex-dev <- dev    varbex <- tool
# CPack packs exactly what the install rules install, so the packages cannot drift from
# `cmake --install`, and dpkg-shlibdeps derives each package's dependencies from what it links.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "VARBEX_DEBIAN_PACKAGES needs -DCMAKE_INSTALL_PREFIX=/usr")
endif()

set(VARBEX_LIB_PACKAGE "libvarbex${PROJECT_VERSION_MAJOR}")
set(VARBEX_MAINTAINER "varbex maintainers <maintainers@users.noreply.c-seed-185eb447.example>")

# Debian wants a copyright file and a changelog in every package's documentation folder.
string(TIMESTAMP VARBEX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(package IN ITEMS "${VARBEX_LIB_PACKAGE}" libvarbex-dev varbex)
  if(package STREQUAL VARBEX_LIB_PACKAGE)
    set(component lib)
  elseif(package STREQUAL "libvarbex-dev")
    set(component dev)
  else()
    set(component tool)
  endif()
  set(doc_dir "${PROJECT_BINARY_DIR}/debian-doc/${package}")
  configure_file(dist/debian-copyright.in "${doc_dir}/copyright" @ONLY)
  set(VARBEX_PACKAGE "${package}")
  configure_file(dist/debian-changelog.in "${doc_dir}/changelog" @ONLY)
  execute_process(COMMAND gzip -9nf "${doc_dir}/changelog" RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${doc_dir}/changelog")
  endif()
  install(FILES "${doc_dir}/copyright" "${doc_dir}/changelog.gz"
    DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}" COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varbex)
set(CPACK_PACKAGE_VENDOR varbex)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARBEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool links the library of this very build, which dpkg-shlibdeps finds here; its package is
# named in the tool's Depends by hand, since no installed package describes it yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(VARBEX_SAME_LIB "${VARBEX_LIB_PACKAGE} (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME "${VARBEX_LIB_PACKAGE}")
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# dpkg runs ldconfig once for all packages of a run through this trigger. (CPack also writes a
# postinst and postrm that call ldconfig themselves, which lintian warns about; they are harmless.)
configure_file(dist/libvarbex-triggers "${PROJECT_BINARY_DIR}/debian-control/lib/triggers" COPYONLY)
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA "${PROJECT_BINARY_DIR}/debian-control/lib/triggers")
set(CPACK_COMPONENT_LIB_DESCRIPTION "three-dimensional bin packing library
varbex packs rectangular items into as few and as full boxes as it can,
choosing the box types, the positions and the orientations, behind a C
interface of two functions: one JSON request in, one JSON response out.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvarbex-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${VARBEX_SAME_LIB}")
set(CPACK_COMPONENT_DEV_DESCRIPTION "three-dimensional bin packing library - development files
varbex packs rectangular items into as few and as full boxes as it can,
choosing the box types, the positions and the orientations, behind a C
interface of two functions: one JSON request in, one JSON response out.
.
This package holds the header, the CMake package (find_package(varbex))
and the pkg-config file.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME varbex)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${VARBEX_SAME_LIB}")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/dist/conffiles")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "three-dimensional bin packing tool and HTTP service
varbex packs rectangular items into as few and as full boxes as it can,
choosing the box types, the positions and the orientations.
.
This package holds the varbex command: solve a JSON request, write an HTML
report of the packing, solve JSON Lines files on several threads, or serve
requests over HTTP, with a systemd unit (varbex.service) for the service.")

include(CPack)
