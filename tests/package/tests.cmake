# The installed package: `cmake --install` into a temporary prefix, then a small C program built
# against it with find_package and with pkg-config. A sanitizer build's library cannot be loaded
# by a program built without the sanitizer, so those builds leave this test out.
if(NOT VARBEX_SANITIZE AND NOT VARBEX_TSAN)
  add_test(NAME package_install_test
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh
      ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_C_COMPILER})
endif()
