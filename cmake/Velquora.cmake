# Build helpers shared by every area, test and benchmark.

add_compile_options(-Wall -Wextra)
if(VQ_WERROR)
    add_compile_options(-Werror)
endif()
if(VQ_SANITIZE AND VQ_TSAN)
    message(FATAL_ERROR "VQ_SANITIZE and VQ_TSAN cannot be combined")
endif()
if(VQ_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(VQ_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

set(VQ_QT_LIBS Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Network Qt5::PrintSupport Qt5::Svg Qt5::DBus)

# vq_area(<name> [BELOW <area>...]): the object library vq_<name> that the
# folder <name>/ fills with target_sources. The areas are layers: an area
# links, and includes the headers of, only itself and the areas it names
# below it; a build step checks every include of its folder against them.
# Object libraries keep compiled resources in every executable that links
# them, without Q_INIT_RESOURCE calls.
function(vq_area name)
    cmake_parse_arguments(A "" "" "BELOW" ${ARGN})
    add_library(vq_${name} OBJECT)
    target_include_directories(vq_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(vq_${name} PUBLIC ${VQ_QT_LIBS})
    foreach(below IN LISTS A_BELOW)
        target_link_libraries(vq_${name} PUBLIC vq_${below})
    endforeach()
    file(GLOB_RECURSE area_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/includes.checked)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DAREA=${name} -DDIR=${CMAKE_CURRENT_SOURCE_DIR} "-DALLOWED=${A_BELOW}"
                -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
        DEPENDS ${area_sources} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
        COMMENT "Checking the includes of ${name}/"
        VERBATIM)
    add_custom_target(vq_${name}_includes DEPENDS ${stamp})
    add_dependencies(vq_${name} vq_${name}_includes)
endfunction()

# vq_link_areas(<target>): link every area of the program into an executable.
# The program itself takes the objects; tests and benchmarks, made after
# vq_make_core(), share them through one library, so that seventy test
# programs do not each carry every area, its resources and the bundled font.
function(vq_link_areas target)
    if(TARGET vq_core)
        target_link_libraries(${target} PRIVATE vq_core)
        return()
    endif()
    foreach(area IN LISTS VQ_AREAS)
        target_link_libraries(${target} PRIVATE vq_${area})
    endforeach()
endfunction()

# vq_make_core(): the shared library vq_core of every area, for the tests and
# benchmarks (not on Windows, where the symbols would need exporting).
function(vq_make_core)
    if(WIN32)
        return()
    endif()
    add_library(vq_core SHARED)
    foreach(area IN LISTS VQ_AREAS)
        set_target_properties(vq_${area} PROPERTIES POSITION_INDEPENDENT_CODE ON)
        target_link_libraries(vq_core PUBLIC vq_${area})
    endforeach()
endfunction()

# vq_add_test(<name> SOURCES ... [LIBS ...]): one Qt Test executable, registered
# with CTest and run headless.
function(vq_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    vq_link_areas(${name})
    target_link_libraries(${name} PRIVATE Qt5::Test fakeservice ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # ThreadSanitizer runs the engine's tests five to ten times slower.
    if(VQ_TSAN)
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1")
endfunction()
