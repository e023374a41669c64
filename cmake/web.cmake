# The browser build: the same tree through Emscripten, against the libraries
# scripts/setup-web.sh builds from Debian's sources into its cache. Only the
# engine is built here; the tools, tests and the demo come from the desktop
# build, which also runs the browser test.
# Two engines: with threads for cross-origin isolated pages, and without
# (velmora-single), whose workers run on the main thread, for any other host.
option(VELMORA_WEB_THREADS "Browser build with worker threads (needs a cross-origin isolated page)" ON)
if(VELMORA_WEB_THREADS)
  set(VELMORA_WEB_VARIANT_PREFIX prefix)
else()
  set(VELMORA_WEB_VARIANT_PREFIX prefix-single)
endif()
if(NOT DEFINED VELMORA_WEB_PREFIX)
  set(VELMORA_WEB_PREFIX "$ENV{VELMORA_WEB_PREFIX}")
endif()
if(NOT VELMORA_WEB_PREFIX)
  set(VELMORA_WEB_PREFIX "$ENV{HOME}/.cache/velmora-web/${VELMORA_WEB_VARIANT_PREFIX}")
endif()
if(NOT EXISTS "${VELMORA_WEB_PREFIX}/lib/libSDL2.a")
  message(FATAL_ERROR "No WebAssembly libraries in ${VELMORA_WEB_PREFIX}: run scripts/setup-web.sh first")
endif()
set(VELMORA_WEB_PREFIX "${VELMORA_WEB_PREFIX}" CACHE PATH "WebAssembly libraries built by scripts/setup-web.sh")
list(APPEND CMAKE_FIND_ROOT_PATH "${VELMORA_WEB_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${VELMORA_WEB_PREFIX}")
set(ENV{PKG_CONFIG_LIBDIR} "${VELMORA_WEB_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(VELMORA_TESTS OFF CACHE BOOL "" FORCE)
set(VELMORA_BENCH OFF CACHE BOOL "" FORCE)

# Threads need a cross-origin isolated page (serve.py and the generated page
# set the headers). Every object in the link, the libraries' too, shares
# memory. Exceptions: the engine catches allocation failures.
# The image code's SSE and SSE2 forms run on WebAssembly's 128-bit vectors.
add_compile_options(-fexceptions -msimd128 -msse -msse2)
add_link_options(-fexceptions -msimd128)
if(VELMORA_WEB_THREADS)
  add_compile_options(-pthread)
  add_link_options(-pthread)
  set(VELMORA_WEB_THREAD_LINK_OPTIONS -sPTHREAD_POOL_SIZE=10 -sPTHREAD_POOL_SIZE_STRICT=0)
else()
  # Without -pthread the engine runs its workers on the main thread by itself.
  set(VELMORA_WEB_THREAD_LINK_OPTIONS)
endif()

# The emscripten configuration (node wrapper) the setup wrote, also for a
# plain `ninja -C build-web` that does not go through the preset.
# ccache serves em++ as it serves the desktop compiler (CI's clean clones).
set(VELMORA_EM_CONFIG "$ENV{EM_CONFIG}" CACHE FILEPATH "Emscripten configuration written by scripts/setup-web.sh")
find_program(VELMORA_CCACHE ccache)
if(NOT VELMORA_CCACHE)
  set(VELMORA_CCACHE "")
endif()
if(VELMORA_EM_CONFIG)
  set(CMAKE_C_COMPILER_LAUNCHER env EM_CONFIG=${VELMORA_EM_CONFIG} ${VELMORA_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER env EM_CONFIG=${VELMORA_EM_CONFIG} ${VELMORA_CCACHE})
  set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "env EM_CONFIG=${VELMORA_EM_CONFIG}")
endif()

# The engine's link: WebGL 2, the blocking script loop kept by Asyncify, the
# file system with IndexedDB for saves, memory that grows with the game.
set(VELMORA_WEB_LINK_OPTIONS
  -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2
  -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=262144
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=268435456 -sTOTAL_STACK=8388608
  ${VELMORA_WEB_THREAD_LINK_OPTIONS}
  -sFORCE_FILESYSTEM=1 -lidbfs.js
  "-sEXPORTED_RUNTIME_METHODS=['FS','IDBFS','callMain','addRunDependency','removeRunDependency']"
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=1
  "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_BINARY_DIR}/library-functions.txt")
# SDL's Web Audio backend calls these from its JavaScript (a file: the names
# start with '$', which the build tools would expand).
file(WRITE ${CMAKE_BINARY_DIR}/library-functions.txt "$autoResumeAudioContext\n$dynCall\n")

# The Squirrel API's declarations (codeblocks-dev) without the rest of the
# machine's headers; the runtime itself is never loaded in the browser.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/squirrel-headers)
file(CREATE_LINK /usr/include/codeblocks ${CMAKE_BINARY_DIR}/squirrel-headers/codeblocks SYMBOLIC)
include_directories(SYSTEM ${CMAKE_BINARY_DIR}/squirrel-headers)
