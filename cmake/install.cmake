# Install rules: the engine library, its public headers, vdecode, and the files
# that let another project find the engine: a CMake package (find_package(vel)
# gives the target vel::veldecoder) and a pkg-config file (pkg-config vel).
# Both are relocatable: they find the installation relative to themselves.
include(CMakePackageConfigHelpers)

set(VEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vel)
set(VEL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The public headers need C++20; whoever links the engine compiles with it.
target_compile_features(veldecoder INTERFACE cxx_std_20)

install(TARGETS veldecoder EXPORT velTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

if(TARGET vdecode)
  install(TARGETS vdecode RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# ---- CMake package ------------------------------------------------------------
install(EXPORT velTargets NAMESPACE vel:: FILE velTargets.cmake DESTINATION ${VEL_CMAKE_DIR})

file(WRITE ${PROJECT_BINARY_DIR}/velConfig.cmake.in [[
@PACKAGE_INIT@

# vel::veldecoder: the decoding engine. Link a host against it, or build an
# extension decoder module (a shared library with DllGetClassObject) on its
# public headers.
include("${CMAKE_CURRENT_LIST_DIR}/velTargets.cmake")
check_required_components(vel)
]])
configure_package_config_file(${PROJECT_BINARY_DIR}/velConfig.cmake.in ${PROJECT_BINARY_DIR}/velConfig.cmake
  INSTALL_DESTINATION ${VEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/velConfig.cmake ${PROJECT_BINARY_DIR}/velConfigVersion.cmake
  DESTINATION ${VEL_CMAKE_DIR})

# ---- pkg-config -----------------------------------------------------------------
file(RELATIVE_PATH VEL_PKGCONFIG_TO_PREFIX /prefix/${VEL_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" VEL_PKGCONFIG_TO_PREFIX "${VEL_PKGCONFIG_TO_PREFIX}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/vel.pc @ONLY CONTENT [[
prefix=${pcfiledir}/@VEL_PKGCONFIG_TO_PREFIX@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@

Name: vel
Description: Packet decoding engine: decoder modules, module graph and decoding results
Version: @PROJECT_VERSION@
Libs: -L${libdir} -lveldecoder
Cflags: -I${includedir} -std=c++20
]])
install(FILES ${PROJECT_BINARY_DIR}/vel.pc DESTINATION ${VEL_PKGCONFIG_DIR})
