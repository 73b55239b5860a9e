find_package(GTest REQUIRED)

# bandora_add_test(NAME <name> LABELS <label>... SOURCES <file>... LIBS <target>... [QT_MAIN] [TIMEOUT s])
# One ctest test per binary. QT_MAIN links a main() that creates a QApplication first
# (for tests that need widgets or a Qt event loop); otherwise gtest_main is used.
function(bandora_add_test)
  cmake_parse_arguments(T "QT_MAIN" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  if(T_QT_MAIN)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} bandora_qt_test_main GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  if("gui" IN_LIST T_LABELS)
    # Windows of two test programs on one X server without a window manager take the input
    # focus from each other, and focus checks fail at random: one at a time on the display.
    set_property(TEST ${T_NAME} APPEND PROPERTY RESOURCE_LOCK x_display)
  endif()
endfunction()
