# velmora_library(NAME DEPS...): one static library per subsystem folder, made
# from every source file in that folder (sub-folders included).
function(velmora_library name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# Suites that open GL contexts on Mesa, which leaks a little at eglTerminate:
# under the sanitizers they run without leak detection (the engine they start
# too; see tests/support/test_environment.cpp). Labels "gpu" and "cpu".
set(VELMORA_GPU_SUITES test_render test_e2e test_text test_setup test_save_frame)

# The test environment of tests added by hand (the discovered ones set theirs
# in the test program): headless SDL and, sanitized, the leak settings.
function(velmora_test_environment out gpu)
  set(env "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
  if(VELMORA_SANITIZE)
    list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
    if(gpu)
      list(APPEND env "ASAN_OPTIONS=detect_leaks=0")
    endif()
  endif()
  set(${out} "${env}" PARENT_SCOPE)
endfunction()

# velmora_test(NAME DIR DEPS...): one GoogleTest executable per test folder.
function(velmora_test name dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(name IN_LIST VELMORA_GPU_SUITES)
    set(gpu 1)
    set(labels gpu)
  else()
    set(gpu 0)
    set(labels cpu)
  endif()
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/test_environment.cpp)
  target_compile_definitions(${name} PRIVATE VELMORA_TEST_GPU=${gpu})
  # A stalled engine run fails its test instead of holding up the whole suite.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${labels} TIMEOUT 900)
endfunction()
