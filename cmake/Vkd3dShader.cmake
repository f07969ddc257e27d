# vkd3d-shader, the HLSL compiler behind the substitute D3DX: built once from
# its release tarball with its own configure and make, as position-independent
# static libraries, into a cache folder shared by every build type of this
# tree. Defines the imported target vkd3d::shader.

set(SSAO_VKD3D_VERSION 1.17)
set(SSAO_VKD3D_SHA256 2de730bb7b56c96853226bc9418e5a29b75a025d199680fb761ea0435f526b85)
set(SSAO_VKD3D_TARBALL "${PROJECT_SOURCE_DIR}/../shared/third_party/vkd3d-${SSAO_VKD3D_VERSION}.tar.xz"
    CACHE FILEPATH "Release tarball of vkd3d ${SSAO_VKD3D_VERSION}")
set(SSAO_VKD3D_URL "https://dl.winehq.org/vkd3d/source/vkd3d-${SSAO_VKD3D_VERSION}.tar.xz"
    CACHE STRING "Where the tarball is downloaded from when SSAO_VKD3D_DOWNLOAD is on")
option(SSAO_VKD3D_DOWNLOAD "Download the vkd3d tarball when SSAO_VKD3D_TARBALL does not exist" OFF)
set(SSAO_THIRD_PARTY_CACHE "${PROJECT_SOURCE_DIR}/build/third_party"
    CACHE PATH "Folder where third-party libraries are built once for every build type")

set(vkd3d_root "${SSAO_THIRD_PARTY_CACHE}/vkd3d-${SSAO_VKD3D_VERSION}")
set(vkd3d_src "${vkd3d_root}/vkd3d-${SSAO_VKD3D_VERSION}")
# Bump when the way it is built changes, so that caches rebuild.
set(vkd3d_recipe 2)
set(vkd3d_stamp "${vkd3d_root}/built-${SSAO_VKD3D_SHA256}-${vkd3d_recipe}")

function(ssao_vkd3d_run step)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${vkd3d_src}"
                  RESULT_VARIABLE result OUTPUT_FILE "${vkd3d_root}/${step}.log" ERROR_FILE "${vkd3d_root}/${step}.log")
  if(NOT result EQUAL 0)
    file(READ "${vkd3d_root}/${step}.log" log)
    string(LENGTH "${log}" length)
    if(length GREATER 4000)
      math(EXPR start "${length} - 4000")
      string(SUBSTRING "${log}" ${start} 4000 log)
    endif()
    message(FATAL_ERROR "vkd3d: ${step} failed (${result}); its log is ${vkd3d_root}/${step}.log:\n${log}")
  endif()
endfunction()

file(MAKE_DIRECTORY "${vkd3d_root}")
# Several build folders may configure at once; one builds, the others wait.
file(LOCK "${vkd3d_root}/lock" GUARD PROCESS TIMEOUT 1200)
if(NOT EXISTS "${vkd3d_stamp}")
  set(tarball "${SSAO_VKD3D_TARBALL}")
  if(NOT EXISTS "${tarball}")
    if(NOT SSAO_VKD3D_DOWNLOAD)
      message(FATAL_ERROR "vkd3d: no tarball at ${tarball}. Set SSAO_VKD3D_TARBALL to its path, "
                          "or -DSSAO_VKD3D_DOWNLOAD=ON to fetch ${SSAO_VKD3D_URL}.")
    endif()
    set(tarball "${vkd3d_root}/vkd3d-${SSAO_VKD3D_VERSION}.tar.xz")
    message(STATUS "vkd3d: downloading ${SSAO_VKD3D_URL}")
    file(DOWNLOAD "${SSAO_VKD3D_URL}" "${tarball}" EXPECTED_HASH SHA256=${SSAO_VKD3D_SHA256} STATUS status)
    list(GET status 0 code)
    if(NOT code EQUAL 0)
      message(FATAL_ERROR "vkd3d: download failed: ${status}")
    endif()
  endif()
  file(SHA256 "${tarball}" hash)
  if(NOT hash STREQUAL SSAO_VKD3D_SHA256)
    message(FATAL_ERROR "vkd3d: ${tarball} has SHA-256 ${hash}, expected ${SSAO_VKD3D_SHA256}")
  endif()
  message(STATUS "vkd3d: building vkd3d-shader ${SSAO_VKD3D_VERSION} in ${vkd3d_root}")
  file(REMOVE_RECURSE "${vkd3d_src}")
  file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${vkd3d_root}")
  # Our own compilers' flags must not leak in: a plain optimised build,
  # without the link-time optimisation its own flags ask for, so that any
  # compiler and linker of ours (clang for the fuzzers) can link the objects.
  ssao_vkd3d_run(configure env -u CPPFLAGS -u LDFLAGS CC=gcc "CFLAGS=-g -O2 -fno-lto" ./configure --with-pic --enable-static
                 --disable-shared --disable-tests --disable-doxygen-doc --without-ncurses --without-xcb
                 --without-opengl --without-spirv-tools)
  include(ProcessorCount)
  ProcessorCount(jobs)
  if(jobs EQUAL 0)
    set(jobs 1)
  endif()
  ssao_vkd3d_run(make-version make include/private/vkd3d_version.h)
  ssao_vkd3d_run(make make -j${jobs} libvkd3d-shader.la)
  file(TOUCH "${vkd3d_stamp}")
endif()
file(LOCK "${vkd3d_root}/lock" RELEASE)

add_library(vkd3d_shader_common STATIC IMPORTED GLOBAL)
set_target_properties(vkd3d_shader_common PROPERTIES IMPORTED_LOCATION "${vkd3d_src}/.libs/libvkd3d-common.a")
add_library(vkd3d::shader STATIC IMPORTED GLOBAL)
set_target_properties(vkd3d::shader PROPERTIES
  IMPORTED_LOCATION "${vkd3d_src}/.libs/libvkd3d-shader.a"
  INTERFACE_INCLUDE_DIRECTORIES "${vkd3d_src}/include"
  INTERFACE_LINK_LIBRARIES "vkd3d_shader_common;m;pthread")
set(SSAO_VKD3D_LICENSE "${vkd3d_src}/COPYING")
