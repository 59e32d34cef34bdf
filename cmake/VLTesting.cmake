# vl_add_gtest(<name> SOURCES <files...> LIBS <targets...> [QT] [LOCK <resource>]
#              [PLATFORM <toolkit platform>])
# One GoogleTest binary; it links the libraries under test and lists none of their sources.
# With QT the binary gets tests/support/qtestmain.cpp as its main, which makes a
# QApplication on the offscreen platform, or on PLATFORM. LOCK names a resource that no two of the tests
# holding it use at once.
function(vl_add_gtest name)
  cmake_parse_arguments(ARG "QT" "LOCK;PLATFORM" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_PLATFORM)
    set(ARG_PLATFORM offscreen)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE vl_testsupport_qt GTest::gtest GTest::gmock ${ARG_LIBS})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS})
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  # The test discovery writes every list item as a value of its own: the lock goes first,
  # so that the items of ENVIRONMENT do not swallow it.
  set(properties)
  if(ARG_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_LOCK})
  endif()
  if(WIN32)
    # Wine hands a program none of the Linux side's QT_ variables (they are meant for the
    # Linux toolkit) but passes a WINEQT_ one on without its WINE. A second property,
    # since each list item is a value of its own.
    list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=${ARG_PLATFORM}"
      ENVIRONMENT_MODIFICATION "WINEQT_QPA_PLATFORM=set:${ARG_PLATFORM}")
  else()
    list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=${ARG_PLATFORM};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
  endif()
  # A cross build lists its tests when CTest runs, through the emulator, rather than
  # while building.
  set(mode POST_BUILD)
  if(CMAKE_CROSSCOMPILING)
    set(mode PRE_TEST)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE ${mode}
    PROPERTIES ${properties})
endfunction()
