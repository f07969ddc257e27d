# ssao_library(<name> <STATIC|SHARED> <sources...>): a library of the given
# kind, or an interface library while the folder has no sources yet.
function(ssao_library name kind)
  if(ARGN)
    add_library(${name} ${kind} ${ARGN})
    set(SSAO_LIBRARY_SCOPE PUBLIC PARENT_SCOPE)
  else()
    add_library(${name} INTERFACE)
    set(SSAO_LIBRARY_SCOPE INTERFACE PARENT_SCOPE)
  endif()
endfunction()
