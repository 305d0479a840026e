# Cross build of Tovenmar.exe and the Windows test programs with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix: the posix thread model gives std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
