# The Windows build's tests, run under wine (make check-windows): the core
# tests that need no POSIX-only facility, GoogleTest built from Debian's
# sources.
if(QUOLIX_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(quolix_core_tests ${QUOLIX_CORE_TESTS} tests/platform/WindowsRulesTest.cpp)
  target_include_directories(quolix_core_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_link_libraries(quolix_core_tests PRIVATE quolix_dialog quolix_test_support gtest_main)
endif()

# The zip users unpack (make windows-zip): the program, a README for
# Windows and the examples, with their output folders.
set(QUOLIX_VERSION ${PROJECT_VERSION})
set(zip_name quolix-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${CMAKE_BINARY_DIR}/zip/${zip_name})
configure_file(docs/windows/README.txt ${CMAKE_BINARY_DIR}/README-windows.txt @ONLY NEWLINE_STYLE CRLF)
set(zip_examples
  examples/books/book.html examples/books/books.cfg examples/books/books.csv
  examples/shop-utf8/item.html examples/shop-utf8/shop.cfg examples/shop-utf8/shop.csv
  examples/shop-unicode/shop.cfg examples/shop-unicode/shop.txt
  examples/shop-book/item.html examples/shop-book/shop-csv.cfg examples/shop-book/shop.csv
  examples/shop-book/shop.cfg examples/shop-book/shop.xlsx examples/shop-book/shop-ods.cfg
  examples/shop-book/shop.ods)
set(zip_copies)
foreach(file IN LISTS zip_examples)
  get_filename_component(folder ${file} DIRECTORY)
  list(APPEND zip_copies COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${file} ${zip_stage}/${folder}/)
endforeach()
add_custom_target(quolix_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip ${CMAKE_BINARY_DIR}/${zip_name}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}/examples/books ${zip_stage}/examples/shop-utf8
          ${zip_stage}/examples/shop-unicode ${zip_stage}/examples/shop-book ${zip_stage}/out/books
          ${zip_stage}/out/shop-utf8 ${zip_stage}/out/shop-unicode ${zip_stage}/out/shop-book-csv
          ${zip_stage}/out/shop-book ${zip_stage}/out/shop-book-ods
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quolix> ${zip_stage}/
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/README-windows.txt ${zip_stage}/README.txt
  ${zip_copies}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${zip_name}.zip --format=zip ${zip_name}
  DEPENDS quolix
  COMMENT "Making ${zip_name}.zip")
