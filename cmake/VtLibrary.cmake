# One helper declares every library of ours: sources from src/, public headers
# from include/<lib>/, tests from src/*.test.cpp into <lib>_tests. It refuses a
# link from a library to one ranked above it, so the layering cannot rot.

set(VT_LIBRARY_RANKS core algorithm files document report uikit components app)

add_library(vt_warnings INTERFACE)
target_compile_options(vt_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
    -Wimplicit-fallthrough -Wsuggest-override -Wcast-qual -Wformat=2
    -Wmissing-declarations
    $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wlogical-op>)
if(VT_WERROR)
    target_compile_options(vt_warnings INTERFACE -Werror)
endif()

add_library(vt_sanitize INTERFACE)
if(VT_FUZZ)
    # Every library is instrumented for coverage; only the fuzz programs link libFuzzer's main.
    target_compile_options(vt_sanitize INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_link_options(vt_sanitize INTERFACE -fsanitize=address,undefined)
elseif(VT_SANITIZE)
    target_compile_options(vt_sanitize INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vt_sanitize INTERFACE -fsanitize=address,undefined)
endif()

function(_vt_rank name out)
    list(FIND VT_LIBRARY_RANKS ${name} idx)
    set(${out} ${idx} PARENT_SCOPE)
endfunction()

function(_vt_check_links self)
    _vt_rank(${self} self_rank)
    foreach(dep IN LISTS ARGN)
        _vt_rank(${dep} dep_rank)
        if(dep_rank GREATER_EQUAL 0 AND NOT dep_rank LESS self_rank)
            message(FATAL_ERROR "${self} may not link ${dep}: ${dep} is not below ${self}")
        endif()
    endforeach()
endfunction()

# vt_library(<name> [QT] [OPTIMIZED_TESTS] [DEPS <our libs>...] [PUBLIC_LIBS ...]
#            [PRIVATE_LIBS ...] [TEST_LIBS ...])
# QT: the library uses Qt: moc and rcc run over its headers, sources and resources/*.qrc, and its
# tests start from vt_qt_test_main (a QApplication on the offscreen platform) instead of gtest's.
# OPTIMIZED_TESTS: the library is mostly templates that its tests instantiate themselves, so the
# tests are optimised like the library (others' tests are compiled without optimisation).
function(vt_library name)
    cmake_parse_arguments(ARG "QT;OPTIMIZED_TESTS" "" "DEPS;PUBLIC_LIBS;PRIVATE_LIBS;TEST_LIBS"
                          ${ARGN})
    _vt_check_links(${name} ${ARG_DEPS})

    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp)
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.test.cpp)
    list(REMOVE_ITEM sources ${tests} "")
    if(ARG_QT)
        # moc finds Q_OBJECT only in files that belong to the target.
        file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/include/${name}/*.hpp
             ${CMAKE_CURRENT_SOURCE_DIR}/src/*.hpp)
        file(GLOB resources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.qrc)
        list(APPEND sources ${headers} ${resources})
    endif()

    add_library(${name} STATIC ${sources})
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
        # Qt 6.4's moc cannot parse the concept definitions of libstdc++'s <concepts>; its include
        # guard keeps moc out of that header (moc needs nothing from it).
        set_property(TARGET ${name} APPEND PROPERTY AUTOMOC_MOC_OPTIONS -D_GLIBCXX_CONCEPTS)
    endif()
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_PUBLIC_LIBS} vt_sanitize
                                  PRIVATE vt_warnings ${ARG_PRIVATE_LIBS})
    target_compile_features(${name} PUBLIC cxx_std_20)

    if(tests AND VT_BUILD_TESTS)
        add_executable(${name}_tests ${tests})
        target_include_directories(${name}_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
        # The tests' own code only drives the libraries, which keep their optimisation; left
        # unoptimised, their large test bodies compile in about half the time.
        if(NOT ARG_OPTIMIZED_TESTS)
            target_compile_options(${name}_tests PRIVATE -O0)
        endif()
        if(ARG_QT)
            set(test_main vt_qt_test_main)
            set_target_properties(${name}_tests PROPERTIES AUTOMOC ON)
            set_property(TARGET ${name}_tests APPEND PROPERTY AUTOMOC_MOC_OPTIONS
                         -D_GLIBCXX_CONCEPTS)
        else()
            set(test_main GTest::gtest_main)
        endif()
        target_link_libraries(${name}_tests PRIVATE ${name} vt_warnings ${ARG_PRIVATE_LIBS}
                              ${ARG_TEST_LIBS} GTest::gtest GTest::gmock ${test_main})
        add_test(NAME ${name}_tests COMMAND ${name}_tests)
        set_tests_properties(${name}_tests PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1;UBSAN_OPTIONS=print_stacktrace=1"
            TIMEOUT 900)
    endif()
endfunction()
