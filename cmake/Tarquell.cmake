# Warnings and Qt's strict string rules for the product targets.
function(tarquell_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_compile_definitions(${target} PRIVATE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH)
endfunction()

if(TARQUELL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# One GoogleTest executable per area. Tests run on Qt's offscreen platform,
# with their own configuration folder.
function(tarquell_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tarquell_test_support ${T_LIBS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  # Tests that start our programs find them in this build folder.
  target_compile_definitions(${name} PRIVATE TARQUELL_BUILD_DIR="${CMAKE_BINARY_DIR}")
  # (One variable only: gtest_discover_tests splits a list of them.)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# Fuzzing instruments the whole build for coverage; the fuzz targets add
# libFuzzer's main themselves.
if(TARQUELL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
