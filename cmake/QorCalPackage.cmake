# The installed CMake package QorCal: each layer is a component with its libraries (as
# namespaced targets QorCal::<name>), its public headers and what it needs from outside.
# Headers land in <prefix>/include/qorcal/<layer>/; the exported include folders are
# <prefix>/include (for <qorcal/data/SerialData.h>) and <prefix>/include/qorcal (for the
# "data/SerialData.h" spelling that the headers use among themselves).
#
# Adding a layer to the package: one qor_package_component() call at the end of the top
# CMakeLists.txt, after the layers (components must come after those they depend on).
# Adding a program: one qor_package_program() call there.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QOR_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/qorcal)
set(QOR_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QorCal)
set(QOR_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/qorcal)

# Installed programs find the libraries of the prefix (the communication libraries they
# load by name, the simulator that qorxcpslave links) in ../lib.
set(QOR_PROGRAM_INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

# qor_package_component(<name> TARGETS <target>... [HEADERS <path>...]
#                       [DEPENDS <component>...] [FIND "<find_package arguments>"...])
# TARGETS: the component's libraries; each is exported as QorCal::<target without qor_>.
# HEADERS: folders (every *.h directly in them) or single headers, relative to the source
# root; they keep that path below include/qorcal. DEPENDS: components of ours that the
# config file loads first. FIND: one find_dependency() call of the config file each.
# A component whose first target was not built is left out, so find_package reports it
# as not found.
function(qor_package_component name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "TARGETS;HEADERS;DEPENDS;FIND")
  list(GET arg_TARGETS 0 first)
  if(NOT TARGET ${first})
    message(STATUS "QorCal package: component ${name} not built, left out")
    return()
  endif()

  foreach(target IN LISTS arg_TARGETS)
    string(REGEX REPLACE "^qor_" "" export_name ${target})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${export_name})
    target_include_directories(${target} INTERFACE
      $<INSTALL_INTERFACE:${QOR_INSTALL_INCLUDEDIR}> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  endforeach()
  install(TARGETS ${arg_TARGETS} EXPORT QorCal-${name}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${name}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${name})
  install(EXPORT QorCal-${name} NAMESPACE QorCal:: FILE QorCal-${name}Targets.cmake
    DESTINATION ${QOR_INSTALL_CMAKEDIR} COMPONENT ${name})

  foreach(path IN LISTS arg_HEADERS)
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${path})
      file(GLOB headers ${PROJECT_SOURCE_DIR}/${path}/*.h)
      install(FILES ${headers} DESTINATION ${QOR_INSTALL_INCLUDEDIR}/${path} COMPONENT ${name})
    else()
      get_filename_component(folder ${path} DIRECTORY)
      install(FILES ${PROJECT_SOURCE_DIR}/${path} DESTINATION ${QOR_INSTALL_INCLUDEDIR}/${folder}
        COMPONENT ${name})
    endif()
  endforeach()

  # The config file's table: one line per component, in the order of these calls.
  set(entry "set(_qorcal_depends_${name} ${arg_DEPENDS})\n")
  string(APPEND entry "set(_qorcal_find_${name})\n")
  foreach(find IN LISTS arg_FIND)
    string(APPEND entry "list(APPEND _qorcal_find_${name} \"${find}\")\n")
  endforeach()
  set_property(GLOBAL APPEND PROPERTY QOR_PACKAGE_COMPONENTS ${name})
  set_property(GLOBAL APPEND_STRING PROPERTY QOR_PACKAGE_TABLE "${entry}")
endfunction()

# qor_package_program(<target>...): installs programs into bin/ with a run path to the
# prefix's library folder. Programs not built are left out.
function(qor_package_program)
  foreach(target IN LISTS ARGN)
    if(TARGET ${target})
      set_target_properties(${target} PROPERTIES INSTALL_RPATH "${QOR_PROGRAM_INSTALL_RPATH}")
      install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
    endif()
  endforeach()
endfunction()

# Writes QorCalConfig.cmake and its version file; call once after every component.
function(qor_package_finish)
  get_property(QORCAL_COMPONENTS GLOBAL PROPERTY QOR_PACKAGE_COMPONENTS)
  get_property(QORCAL_COMPONENT_TABLE GLOBAL PROPERTY QOR_PACKAGE_TABLE)
  set(config ${PROJECT_BINARY_DIR}/package/QorCalConfig.cmake)
  set(version ${PROJECT_BINARY_DIR}/package/QorCalConfigVersion.cmake)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QorCalConfig.cmake.in ${config}
    INSTALL_DESTINATION ${QOR_INSTALL_CMAKEDIR})
  # Before 1.0 a minor version may change the interface: 0.1 accepts 0.1.x only.
  write_basic_package_version_file(${version} VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMinorVersion)
  install(FILES ${config} ${version} DESTINATION ${QOR_INSTALL_CMAKEDIR} COMPONENT framework)
endfunction()
