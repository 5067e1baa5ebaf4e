# Collects the sources of one folder, leaving out the other operating system's files:
# foo_posix.cpp builds everywhere but Windows, foo_win32.cpp only on Windows; their tests
# (foo_posix_test.cpp, foo_win32_test.cpp) follow the same rule.
function(doravine_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    foreach(f IN LISTS found)
      if(WIN32 AND f MATCHES "_posix(_test)?\\.cpp$")
        continue()
      endif()
      if(NOT WIN32 AND f MATCHES "_win32(_test)?\\.cpp$")
        continue()
      endif()
      list(APPEND result ${f})
    endforeach()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
