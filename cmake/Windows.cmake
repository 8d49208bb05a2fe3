# The Windows build's tests, run under wine (make check-windows): the core
# tests that need no POSIX-only facility, GoogleTest built from Debian's
# sources.
if(QUOLIX_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(quolix_core_tests
    tests/TestUtil.cpp
    tests/diag/CatalogueTest.cpp
    tests/platform/CodePageTest.cpp
    tests/platform/FileSysTest.cpp
    tests/platform/OutputFileTest.cpp
    tests/diag/PrompterTest.cpp
    tests/platform/TextEncodingTest.cpp
    tests/platform/WindowsNamesTest.cpp
    tests/platform/WindowsRulesTest.cpp
    tests/data/TextScanTest.cpp
    tests/data/CellFormatTest.cpp
    tests/data/CsvTableTest.cpp
    tests/data/TemplateFileTest.cpp
    tests/gen/DumpPageTest.cpp
    tests/gen/GenerationRunTest.cpp
    tests/gen/RunPlanTest.cpp
    tests/gen/CompiledTemplateTest.cpp
    tests/gen/EncodingRunTest.cpp
    tests/job/JobTest.cpp
    tests/settings/SettingsTextTest.cpp
    tests/dialog/DialogModelTest.cpp
  )
  target_include_directories(quolix_core_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(quolix_core_tests PRIVATE quolix_dialog quolix_test_support gtest_main)
endif()
