# vl_add_gtest(<name> SOURCES <files...> LIBS <targets...> [QT])
# One GoogleTest binary; it links the libraries under test and lists none of their sources.
# With QT the binary gets tests/support/qtestmain.cpp as its main, which makes a
# QApplication on the offscreen platform.
function(vl_add_gtest name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE vl_testsupport_qt GTest::gtest GTest::gmock ${ARG_LIBS})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS})
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp")
endfunction()
