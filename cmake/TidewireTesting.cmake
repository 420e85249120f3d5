# Test registration shared by all presets.
#
#   native preset : one ctest entry per test case, label "native"
#   win64 preset  : one ctest entry per test case run under wine64, label "wine"
#   win32 preset  : the test sources are also linked into a few programs, one per x86 group
#                   (tidewire_tests_x86 for the deterministic cases), each run as a single
#                   emulated 32-bit Wine process, label "wine32"; a build check verifies that
#                   every produced binary is a 32-bit PE file, label "build32".
include(GoogleTest)

if(WIN32)
  set(_tidewire_googletest_dir /usr/src/googletest)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${_tidewire_googletest_dir} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TIDEWIRE_GTEST_LIBS gtest gmock)

  # Tests run under Wine with a prefix kept inside this build folder.
  if(TIDEWIRE_WINE_FLAVOUR STREQUAL "wine32")
    set(TIDEWIRE_WINE_LOADER /usr/lib/wine/wine)
    set(TIDEWIRE_WINE_ARCH win32)
  else()
    set(TIDEWIRE_WINE_LOADER /usr/lib/wine/wine64)
    set(TIDEWIRE_WINE_ARCH win64)
  endif()
  set(TIDEWIRE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
else()
  find_package(GTest REQUIRED)
  set(TIDEWIRE_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

add_library(tidewire_test_main STATIC ${CMAKE_SOURCE_DIR}/tests/support/gtest_main.cpp)
target_link_libraries(tidewire_test_main PUBLIC ${TIDEWIRE_GTEST_LIBS})
target_include_directories(tidewire_test_main PUBLIC ${CMAKE_SOURCE_DIR})

set_property(GLOBAL PROPERTY TIDEWIRE_X86_GROUPS "")

# One test program: its sources linked with the test main and LIBS, built with our warnings.
function(_tidewire_test_program name sources libs definitions depends)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE tidewire_test_main ${libs})
  target_compile_options(${name} PRIVATE ${TIDEWIRE_WARNINGS})
  target_compile_definitions(${name} PRIVATE
    TIDEWIRE_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data" ${definitions})
  if(depends)
    add_dependencies(${name} ${depends})
  endif()
endfunction()

# tidewire_add_test(NAME name SOURCES files... [LIBS libs...] [DEFINITIONS defs...]
#                   [DEPENDS targets...] [NATIVE_ONLY] [WINDOWS_ONLY] [NOT_X86]
#                   [X86_GROUP group] [DISPLAY] [PROPERTIES name value...])
#   DEFINITIONS, DEPENDS: compile definitions and build dependencies of the test program (and of
#               the x86 group program it joins).
#   NOT_X86: keep the cases out of the emulated x86 run.
#   X86_GROUP: the x86 program the cases join (default: all_deterministic_tests); a group is one
#               emulated process, so cases that need a fixture or the network get their own.
#   DISPLAY: the cases need a display: the caller's (scripts/test starts one Xvfb display for
#               the whole run), else a private one from xvfb-run; on x86 they form a group of
#               their own, display_tests by default.
#   PROPERTIES: test properties for every discovered case (e.g. FIXTURES_REQUIRED, TIMEOUT); of
#               them only FIXTURES_REQUIRED carries over to the x86 group.
function(tidewire_add_test)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY;NOT_X86;DISPLAY" "NAME;X86_GROUP"
                        "SOURCES;LIBS;DEFINITIONS;DEPENDS;PROPERTIES" ${ARGN})
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  list(TRANSFORM T_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ REGEX "^[^/]")
  _tidewire_test_program(${T_NAME} "${T_SOURCES}" "${T_LIBS}" "${T_DEFINITIONS}" "${T_DEPENDS}")
  if(NOT WIN32)
    gtest_discover_tests(${T_NAME} PROPERTIES LABELS native ${T_PROPERTIES} DISCOVERY_TIMEOUT 60)
  elseif(TIDEWIRE_WINE_FLAVOUR STREQUAL "wine")
    if(T_DISPLAY)
      set_property(TARGET ${T_NAME} PROPERTY CROSSCOMPILING_EMULATOR
                   ${CMAKE_SOURCE_DIR}/cmake/with-display ${CMAKE_BINARY_DIR}/wine-run)
    endif()
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 600
                         PROPERTIES LABELS wine ${T_PROPERTIES})
  elseif(NOT T_NOT_X86)
    if(NOT T_X86_GROUP AND T_DISPLAY)
      set(T_X86_GROUP display_tests)
    elseif(NOT T_X86_GROUP)
      set(T_X86_GROUP all_deterministic_tests)
    endif()
    if(T_DISPLAY)
      set_property(GLOBAL PROPERTY TIDEWIRE_X86_${T_X86_GROUP}_DISPLAY ON)
    endif()
    set(fixtures "")
    list(FIND T_PROPERTIES FIXTURES_REQUIRED at)
    if(at GREATER -1)
      math(EXPR at "${at} + 1")
      list(GET T_PROPERTIES ${at} fixtures)
    endif()
    set_property(GLOBAL APPEND PROPERTY TIDEWIRE_X86_GROUPS ${T_X86_GROUP})
    foreach(part SOURCES LIBS DEFINITIONS DEPENDS)
      set_property(GLOBAL APPEND PROPERTY TIDEWIRE_X86_${T_X86_GROUP}_${part} ${T_${part}})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY TIDEWIRE_X86_${T_X86_GROUP}_FIXTURES ${fixtures})
  endif()
endfunction()

# Called once at the end of the top-level list file.
function(tidewire_finish_tests)
  if(NOT WIN32 OR NOT TIDEWIRE_WINE_FLAVOUR STREQUAL "wine32")
    return()
  endif()
  get_property(groups GLOBAL PROPERTY TIDEWIRE_X86_GROUPS)
  list(REMOVE_DUPLICATES groups)
  foreach(group IN LISTS groups)
    foreach(part SOURCES LIBS DEFINITIONS DEPENDS FIXTURES)
      get_property(${part} GLOBAL PROPERTY TIDEWIRE_X86_${group}_${part})
      list(REMOVE_DUPLICATES ${part})
    endforeach()
    if(group STREQUAL "all_deterministic_tests")
      set(program tidewire_tests_x86)
    else()
      set(program tidewire_tests_x86_${group})
    endif()
    _tidewire_test_program(${program} "${SOURCES}" "${LIBS}" "${DEFINITIONS}" "${DEPENDS}")
    get_property(display GLOBAL PROPERTY TIDEWIRE_X86_${group}_DISPLAY)
    if(display)
      set_property(TARGET ${program} PROPERTY CROSSCOMPILING_EMULATOR
                   ${CMAKE_SOURCE_DIR}/cmake/with-display ${CMAKE_BINARY_DIR}/wine-run)
    endif()
    add_test(NAME x86.${group} COMMAND ${program})
    set_tests_properties(x86.${group} PROPERTIES LABELS wine32 TIMEOUT 900)
    if(FIXTURES)
      set_tests_properties(x86.${group} PROPERTIES FIXTURES_REQUIRED "${FIXTURES}")
    endif()
  endforeach()
  add_test(NAME x86.binaries_are_32bit_pe
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-pe32 ${CMAKE_BINARY_DIR})
  set_tests_properties(x86.binaries_are_32bit_pe PROPERTIES LABELS build32)
endfunction()
