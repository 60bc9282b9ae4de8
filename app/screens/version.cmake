# Version data built into every program that links the windows library: the texts below and the
# project version, placed by version_block.cpp.in in a section of the program file where the
# version reader (VersionInfo.cpp) finds them again.
set(ROTACONF_VERSION_COMPANY "Dorvane")
set(ROTACONF_VERSION_DESCRIPTION "Rotaconf - configuration of programmable incremental rotary encoders")
set(ROTACONF_VERSION_INTERNAL_NAME "Rotaconf")
set(ROTACONF_VERSION_COPYRIGHT "Copyright (C) 2026 Dorvane")
set(ROTACONF_VERSION_TRADEMARKS "")
set(ROTACONF_VERSION_FILENAME "rotaconf")
set(ROTACONF_VERSION_PRODUCT "Rotaconf")
set(ROTACONF_VERSION_COMMENTS "Sets pulse count, direction of rotation and zero pulse of programmable incremental rotary encoders through a USB-BiSS adapter")
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  set(ROTACONF_VERSION_STATUS "Release")
elseif(CMAKE_BUILD_TYPE)
  set(ROTACONF_VERSION_STATUS "${CMAKE_BUILD_TYPE} build")
else()
  set(ROTACONF_VERSION_STATUS "Development build")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/version_block.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/version_block.cpp @ONLY)
target_sources(rotaconf_screens PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version_block.cpp)
