# Cross compilation for 32-bit Windows with MinGW-w64. The -posix variants
# carry std::thread/std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything static: the program must need nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# A tree configured once before this toolchain was installed keeps what that
# failed run cached: the host's ar and ranlib and empty flags for every build
# type. Later runs would keep them and build another setup.exe (no -O2, no
# -DNDEBUG) without a word. Such a cache is told by its tools, which do not
# carry the target's prefix, or by empty release flags; its detection
# results are then dropped and made afresh.
get_property(_kelvra_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT _kelvra_in_try_compile)
  set(_kelvra_stale OFF)
  foreach(_kelvra_tool CMAKE_AR CMAKE_RANLIB)
    if(DEFINED CACHE{${_kelvra_tool}} AND NOT "${${_kelvra_tool}}" MATCHES "/i686-w64-mingw32-[^/]*$")
      set(_kelvra_stale ON)
    endif()
  endforeach()
  if(DEFINED CACHE{CMAKE_CXX_FLAGS_RELEASE} AND "${CMAKE_CXX_FLAGS_RELEASE}" STREQUAL "")
    set(_kelvra_stale ON)
  endif()
  if(_kelvra_stale)
    message(STATUS "This tree was configured without the MinGW-w64 toolchain; configuring it afresh")
    get_cmake_property(_kelvra_cached CACHE_VARIABLES)
    foreach(_kelvra_var IN LISTS _kelvra_cached)
      if(_kelvra_var MATCHES "^CMAKE_((C|CXX|RC)_COMPILER_(AR|RANLIB)|AR|RANLIB|NM|OBJCOPY|OBJDUMP|STRIP|LINKER|ADDR2LINE|DLLTOOL|READELF|MT)$"
         OR _kelvra_var MATCHES "^CMAKE_(C|CXX|RC|EXE_LINKER|MODULE_LINKER|SHARED_LINKER|STATIC_LINKER)_FLAGS(_[A-Z]+)?$")
        unset(${_kelvra_var} CACHE)
      endif()
    endforeach()
  endif()
endif()
