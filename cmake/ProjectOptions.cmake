# Compiler settings for the project's own targets: warnings are errors, and
# the optional sanitizer build. Call aforizm_target_options(<target>) on every
# target defined in this repository.
if(AFORIZM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

function(aforizm_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-error=deprecated-declarations)
  target_compile_definitions(${target} PRIVATE
    AFORIZM_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    AFORIZM_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    AFORIZM_VERSION_PATCH=${PROJECT_VERSION_PATCH}
    AFORIZM_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})
endfunction()

# Adds a QtTest executable as a CTest test that runs headless.
function(aforizm_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  aforizm_target_options(${name})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;AFORIZM_SOURCE_DIR=${PROJECT_SOURCE_DIR};ASAN_OPTIONS=detect_leaks=0"
    TIMEOUT 300)
endfunction()
