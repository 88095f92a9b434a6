# The web build's toolchain: Emscripten's own toolchain file, wherever this machine's emscripten
# keeps it (Debian's package or an emsdk checkout), found through em-config.
#
# Debian's emcc runs its JavaScript tools with the system's node, which finds their modules (acorn)
# only through NODE_PATH; it is set for the configure step here and for every link of the build
# through the linker launcher, so a plain `cmake --build build/web` works too.
if(EXISTS /usr/share/nodejs)
  set(ENV{NODE_PATH} "/usr/share/nodejs")
  set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
endif()
find_program(LUMIVEX_EM_CONFIG em-config REQUIRED)
execute_process(COMMAND ${LUMIVEX_EM_CONFIG} EMSCRIPTEN_ROOT OUTPUT_VARIABLE emscripten_root
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
