# One CTest entry per test executable.
#   cwt_add_gtest(name SOURCES ... LIBS ... [LABELS ...])   GoogleTest, plain C++
#   cwt_add_qtest(name SOURCES ... LIBS ... [LABELS ...])   QtTest, offscreen platform

# What every test executable shares: warnings, includes from the project root, and in the
# sanitized build CWT_SANITIZED, under which tests print their speed figures without judging them.
function(cwt_test_target name)
    cwt_warnings(${name})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    if(CWT_SANITIZE)
        target_compile_definitions(${name} PRIVATE CWT_SANITIZED=1)
    endif()
endfunction()

function(cwt_add_gtest name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    cwt_test_target(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "CWT_SOURCE_DIR=${PROJECT_SOURCE_DIR};CWT_BINARY_DIR=${PROJECT_BINARY_DIR}")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

function(cwt_add_qtest name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    cwt_test_target(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CWT_SOURCE_DIR=${PROJECT_SOURCE_DIR};CWT_BINARY_DIR=${PROJECT_BINARY_DIR}")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# Every *_test.cpp of the calling folder becomes a GoogleTest executable, every tst_*.cpp a
# QtTest executable, named <layer>_<file>; files in support/ go into each. Tests include from the
# project root, so that "tests/common/FakeSerialPort.h" reads the same from every folder. Files named
# *_pulse_test.cpp or tst_*_pulse.cpp need the real sound server and get the label "pulse";
# *_timing_test.cpp measure timing under a load of their own and get the label "timing". Both
# run alone, after the rest.
function(cwt_add_layer_tests layer)
    file(GLOB gtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    file(GLOB qtests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/support/*.h)
    foreach(src ${gtests} ${qtests})
        get_filename_component(name ${src} NAME_WE)
        set(labels ${layer})
        if(name MATCHES "_pulse(_test)?$")
            list(APPEND labels pulse)
        endif()
        if(name MATCHES "_timing(_test)?$")
            list(APPEND labels timing)
        endif()
        if(name MATCHES "^tst_")
            cwt_add_qtest(${layer}_${name} SOURCES ${src} ${support}
                LIBS ${ARGN} Qt6::Widgets LABELS ${labels})
        else()
            cwt_add_gtest(${layer}_${name} SOURCES ${src} ${support} LIBS ${ARGN} LABELS ${labels})
        endif()
    endforeach()
endfunction()
