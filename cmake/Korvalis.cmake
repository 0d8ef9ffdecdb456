# Build conventions shared by every folder.
#
# korvalis_folder(<name> [SUBFOLDERS <dirs...>] [LIBS <targets...>] [TEST_LIBS <targets...>]
#                 [TEST_SOURCES <files...>] [TEST_PARTS <part> <filter> ...])
#   Builds the folder's sources (every *.cpp but *_test.cpp and *_fuzz.cpp, in the folder and in
#   the SUBFOLDERS that split it by concept) into the static library <name>, and its *_test.cpp
#   files (and TEST_SOURCES) into one GoogleTest executable <name>_test that CTest runs as one
#   test: a fixture that builds a database pays its set-up once per process. TEST_PARTS split a
#   test too long for one CTest entry (see korvalis_add_test).
#   Project libraries (korvalis_*) named in LIBS are linked when the build is generated, if
#   they exist then: a folder can name a sibling in any folder order, or before that sibling
#   has code.
function(korvalis_folder name)
  cmake_parse_arguments(ARG "" "" "SUBFOLDERS;LIBS;TEST_LIBS;TEST_SOURCES;TEST_PARTS" ${ARGN})
  set(libs "")
  foreach(lib IN LISTS ARG_LIBS)
    if(lib MATCHES "^korvalis_")
      set(lib "$<TARGET_NAME_IF_EXISTS:${lib}>")
    endif()
    list(APPEND libs ${lib})
  endforeach()

  set(sources "")
  set(tests "")
  foreach(directory IN ITEMS "." LISTS ARG_SUBFOLDERS)
    file(GLOB found CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${directory}/*.cpp")
    list(APPEND sources ${found})
    file(GLOB found CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${directory}/*_test.cpp")
    list(APPEND tests ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "_(test|fuzz)\\.cpp$")
  list(APPEND tests ${ARG_TEST_SOURCES})

  if(sources)
    add_library(${name} STATIC ${sources})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    if(NOT folder MATCHES "(^|/)(testing|bench)(/|$)")
      korvalis_product_target(${name})
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${libs})
    set_property(GLOBAL APPEND PROPERTY KORVALIS_LIBRARIES ${name})
    set(under_test ${name})
  else()
    set(under_test ${libs})
  endif()

  if(tests)
    korvalis_add_test(${name}_test SOURCES ${tests} LIBS ${under_test} ${ARG_TEST_LIBS}
      PARTS ${ARG_TEST_PARTS})
  endif()
endfunction()

# korvalis_component_library(<target>)
#   Gives a component library (a MODULE or SHARED target) only the dynamic symbols a component
#   library must have: the entry points and the process-wide error slot.
function(korvalis_component_library target)
  set(map "${PROJECT_SOURCE_DIR}/cmake/component_exports.map")
  target_link_options(${target} PRIVATE "LINKER:--version-script=${map}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${map}")
endfunction()

# korvalis_product_target(<target>)
#   Marks a target as product code: with KORVALIS_WERROR (off by default, on in CI) any warning
#   of -Wall -Wextra fails its build, so a new warning cannot slip into the product. Tests,
#   benchmarks and test doubles keep warnings as warnings; outside headers come in as system
#   headers and are not checked.
function(korvalis_product_target target)
  if(KORVALIS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# korvalis_build_tree_program(<target>)
#   A program or module run from the build tree (a test, a benchmark, a fuzz target, a module
#   the tests load) finds the cipher module and the transformation worker where the build puts
#   them, through its run path (platform/sys/installed_file.h), and is built after them.
#   Installed ones carry no run path and look only where they were installed.
function(korvalis_build_tree_program target)
  set_property(TARGET ${target} APPEND PROPERTY BUILD_RPATH "${PROJECT_BINARY_DIR}/library")
  add_dependencies(${target} korvalis_ciphers korvalis_transformer)
endfunction()

# korvalis_add_test(<name> SOURCES <files...> LIBS <targets...> [PARTS <part> <filter> ...])
#   A GoogleTest executable that CTest runs as the test <name>. Each of PARTS is a CTest entry
#   <name>_<part> of its own that runs the cases its GoogleTest filter (patterns joined by ':')
#   selects, so that no entry runs long on a machine of two cores and CTest runs the parts side
#   by side; <name> then runs every case that no part selects.
function(korvalis_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PARTS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
    Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Tests read their data from the source tree: the one CTest names in KORVALIS_SOURCE_DIR, or
  # else this one, so that a test binary run by hand finds it too.
  target_compile_definitions(${name} PRIVATE KORVALIS_SOURCE_DIR_FALLBACK="${PROJECT_SOURCE_DIR}")
  # Exported symbols let the libraries a test loads share the process-wide state of the
  # platform layer (per-thread error information) with the test's own copy.
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  korvalis_build_tree_program(${name})
  set(others "")
  set(parts ${ARG_PARTS})
  while(parts)
    list(POP_FRONT parts part filter)
    korvalis_test_entry(${name}_${part} ${name} "--gtest_filter=${filter}")
    list(APPEND others ${filter})
  endwhile()
  if(others)
    list(JOIN others ":" others)
    korvalis_test_entry(${name} ${name} "--gtest_filter=-${others}")
  else()
    korvalis_test_entry(${name} ${name})
  endif()
endfunction()

# korvalis_test_entry(<entry> <executable> <arguments...>)
#   The CTest entry <entry> that runs the GoogleTest <executable> with <arguments>, its log in a
#   folder of its own (entries of one executable run side by side).
function(korvalis_test_entry entry executable)
  set(log "${CMAKE_CURRENT_BINARY_DIR}/Log")
  if(NOT entry STREQUAL executable)
    set(log "${log}/${entry}")
  endif()
  add_test(NAME ${entry} COMMAND ${executable} --gtest_brief=1 ${ARGN})
  set_tests_properties(${entry} PROPERTIES
    ENVIRONMENT "KORVALIS_SOURCE_DIR=${PROJECT_SOURCE_DIR};KORVALIS_LOG_DIR=${log}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# korvalis_sample_calls_test(<name> <script> <pass regular expression>)
#   Runs the folder's testdata/<script>, a script built on tools/testing/sample_calls.sh, with
#   the korvalis command, the product library and the suite's stand-ins, in the folder's build
#   directory; the test passes when the script's output matches the expression.
function(korvalis_sample_calls_test name script pass)
  add_test(NAME ${name}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/testdata/${script} $<TARGET_FILE:korvalis_cmd>
      $<TARGET_FILE:korvalis> $<TARGET_FILE:korvalis_suite_components>
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${pass}")
endfunction()

# korvalis_order_symbol_lookups(<target> <libraries...>)
#   Names the shared objects that a start of the program looks symbols up in most, first among
#   its dependencies. The dynamic linker looks each symbol up in every loaded object in turn, in
#   the order the program names them, breadth first: Xerces brings libcurl with TLS, Kerberos and
#   LDAP, whose objects come last in that order though their own relocations make most of the
#   look-ups, so each walks past some thirty objects. Named first, in the order of how many
#   look-ups find them (LD_DEBUG=bindings), those walks end early. The objects come from what
#   `ldd` finds <libraries...> to load on this machine, so an object that these libraries no
#   longer bring is never named; none of them defines a symbol of another, so the order changes
#   which object answers no look-up, only how soon.
function(korvalis_order_symbol_lookups target)
  set(by_lookups xerces-c crypto stdc[+][+] sqlite3 c gnutls nettle unistring ldap hogweed lber
    gmp gssapi_krb5)
  set(loaded "")
  foreach(library IN LISTS ARGN)
    execute_process(COMMAND ldd ${library} OUTPUT_VARIABLE found ERROR_QUIET RESULT_VARIABLE failed)
    if(NOT failed)
      string(APPEND loaded "${found}")
    endif()
    get_filename_component(name ${library} NAME)
    string(APPEND loaded "\n\t${name} => ${library}\n")
  endforeach()
  set(first "")
  foreach(name IN LISTS by_lookups)
    # The object's name as the program records it: its soname, as ldd lists it.
    if(loaded MATCHES "\t(lib${name}(-[0-9.]+)?[.]so[.0-9]*) => ")
      list(APPEND first "-l:${CMAKE_MATCH_1}")
    endif()
  endforeach()
  if(first)
    # One group, so that CMake does not fold its closing --as-needed into the one before it.
    list(JOIN first " " first)
    target_link_options(${target} PRIVATE "SHELL:-Wl,--no-as-needed ${first} -Wl,--as-needed")
  endif()
endfunction()
