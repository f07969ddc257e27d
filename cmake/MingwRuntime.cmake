# ssao_mingw_runtime(<target>): how a mingw-w64 module or host links GCC's
# runtime so that a C++ exception thrown in the module is caught in the host.
#
# 64-bit: both link libgcc and libstdc++ statically; unwinding goes through
# Windows' own tables, which know every module.
# 32-bit: GCC unwinds with DWARF tables that each copy of libgcc keeps for its
# own module only, so with a static libgcc an exception cannot leave the
# module (std::terminate). Both sides link the shared libgcc_s_dw2-1.dll,
# which holds the tables of every module, and it is copied beside the target.
function(ssao_mingw_runtime target)
  if(NOT MINGW)
    return()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++)
    return()
  endif()
  target_link_options(${target} PRIVATE -shared-libgcc -static-libstdc++)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_dw2-1.dll
                  OUTPUT_VARIABLE ssao_libgcc_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${ssao_libgcc_dll}" OR NOT EXISTS "${ssao_libgcc_dll}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no libgcc_s_dw2-1.dll")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ssao_libgcc_dll} $<TARGET_FILE_DIR:${target}>)
endfunction()
