# Installing and packaging: the library for developers (headers, pkg-config file, CMake package), the
# program with its data, desktop entry and manual pages, and Debian packages made of them with CPack.
# Components: runtime (library, drivers, simulator, udev rule), dev (development files) and program.
include(CMakePackageConfigHelpers)

set(TARNBUS_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TARNBUS_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TARNBUS_GENERATED_DIR})

# The CMake package, relocatable, and the pkg-config file: with the plain prefix for an installation
# into the system's directories (the packages), where pkg-config then drops the flags it needs not
# give; else relative to its own place, so a tree installed with --prefix may move.
set(TARNBUS_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tarnbus)
install(EXPORT tarnbusTargets NAMESPACE tarnbus:: DESTINATION ${TARNBUS_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${TARNBUS_PACKAGING_DIR}/tarnbusConfig.cmake.in
  ${TARNBUS_GENERATED_DIR}/tarnbusConfig.cmake INSTALL_DESTINATION ${TARNBUS_CMAKEDIR})
write_basic_package_version_file(${TARNBUS_GENERATED_DIR}/tarnbusConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${TARNBUS_GENERATED_DIR}/tarnbusConfig.cmake ${TARNBUS_GENERATED_DIR}/tarnbusConfigVersion.cmake
  DESTINATION ${TARNBUS_CMAKEDIR} COMPONENT dev)

file(RELATIVE_PATH TARNBUS_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TARNBUS_PC_TO_PREFIX "${TARNBUS_PC_TO_PREFIX}")
if(TARNBUS_SYSTEM_LIBDIR LESS 0)
  set(TARNBUS_PC_PREFIX "\${pcfiledir}/${TARNBUS_PC_TO_PREFIX}")
else()
  set(TARNBUS_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
endif()
configure_file(${TARNBUS_PACKAGING_DIR}/tarnbus.pc.in ${TARNBUS_GENERATED_DIR}/tarnbus.pc @ONLY)
install(FILES ${TARNBUS_GENERATED_DIR}/tarnbus.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

if(NOT UNIX OR APPLE)
  return()  # the rest is for Linux desktops and Debian packages
endif()

# Compressed copies made at configuration time: manual pages and the change log.
function(tarnbus_gzip source output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()

# Adapters the logged-in user may open.
install(FILES ${TARNBUS_PACKAGING_DIR}/70-tarnbus.rules DESTINATION lib/udev/rules.d COMPONENT runtime)

if(TARNBUS_BUILD_APP)
  set(app_id org.tarnbus.Rotaconf)
  install(FILES ${TARNBUS_PACKAGING_DIR}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
    COMPONENT program)
  install(FILES ${TARNBUS_PACKAGING_DIR}/${app_id}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
  install(FILES ${TARNBUS_PACKAGING_DIR}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    COMPONENT program)
  foreach(page rotaconf rotaconf-cli rotaconf-catalog)
    tarnbus_gzip(${TARNBUS_PACKAGING_DIR}/man/${page}.1 ${TARNBUS_GENERATED_DIR}/${page}.1.gz)
    install(FILES ${TARNBUS_GENERATED_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  endforeach()
endif()

# Debian packages: libtarnbus1, libtarnbus-dev, rotaconf. Made for an installation into /usr (the
# "package" presets configure that).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rotaconf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The tarnbus and Rotaconf developers")
set(CPACK_PACKAGE_CONTACT "The tarnbus and Rotaconf developers <developers@tarnbus.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARNBUS_BUILD_APP)
  list(APPEND CPACK_COMPONENTS_ALL program)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's dependency on the library comes from the component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtarnbus1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The library's links come from the ldconfig trigger, so the package's own maintainer scripts (which
# also keep CPack from writing ones that call ldconfig) only apply the udev rule.
file(WRITE ${TARNBUS_GENERATED_DIR}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${TARNBUS_GENERATED_DIR}/triggers
  ${TARNBUS_PACKAGING_DIR}/debian/postinst ${TARNBUS_PACKAGING_DIR}/debian/postrm)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "BiSS master library for FTDI USB adapters
tarnbus drives a BiSS master chip behind an FTDI USB adapter (MPSSE) or
a PC parallel port: it opens the adapter, configures the master and
moves slave registers and sensor data.
.
This package holds the shared library, its open D2XX-compatible driver
for FTDI adapters on libftdi1, a simulated adapter with master chip and
encoder for running without hardware, and a udev rule that lets the
logged-in user open the supported adapters.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtarnbus-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION "BiSS master library for FTDI USB adapters - development files
tarnbus drives a BiSS master chip behind an FTDI USB adapter (MPSSE) or
a PC parallel port.
.
This package holds the headers, the pkg-config file (tarnbus) and the
CMake package (find_package(tarnbus), target tarnbus::tarnbus).")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME rotaconf)
set(CPACK_COMPONENT_PROGRAM_DEPENDS runtime)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "configuration program for programmable rotary encoders
Rotaconf reads the rating plate and configuration of a programmable
incremental rotary encoder through a USB-BiSS adapter and writes the
pulse count, direction and zero-pulse gating chosen from its catalogue.
.
The package holds the desktop program, the command-line program
rotaconf-cli, the catalogue tool rotaconf-catalog and the sample
catalogue.")

# Each package carries the licence and the change log where Debian keeps them.
tarnbus_gzip(${TARNBUS_PACKAGING_DIR}/changelog ${TARNBUS_GENERATED_DIR}/changelog.gz)
foreach(component runtime dev program)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${TARNBUS_PACKAGING_DIR}/copyright ${TARNBUS_GENERATED_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

include(CPack)
