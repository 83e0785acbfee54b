# A library made of every source file under a folder. Folders still empty give an
# interface library so that dependants can link them already.
function(velmar_glob_library name dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(srcs)
        add_library(${name} STATIC ${srcs})
        set(scope PUBLIC)
    else()
        add_library(${name} INTERFACE)
        set(scope INTERFACE)
    endif()
    target_include_directories(${name} ${scope} ${CMAKE_SOURCE_DIR}/src)
    set(VELMAR_LIB_SCOPE ${scope} PARENT_SCOPE)
endfunction()

# Z80 assembly to a raw binary with z80asm.
function(velmar_assemble out_var src out)
    get_filename_component(src_dir ${src} DIRECTORY)
    file(GLOB incs CONFIGURE_DEPENDS ${src_dir}/*.inc ${src_dir}/*.asm)
    add_custom_command(
        OUTPUT ${out}
        # The listing pass is where z80asm reports some errors (a label such as C_X read as
        # register C); without it those lines assemble wrongly and silently.
        COMMAND z80asm -I ${src_dir} --list=${out}.lst -o ${out} ${src}
        DEPENDS ${src} ${incs}
        COMMENT "Assembling ${src}"
        VERBATIM)
    set(${out_var} ${out} PARENT_SCOPE)
endfunction()

# Test executables for one folder of tests/: *_test.cpp are unit tests, *_itest.cpp
# integration tests, *_long.cpp whole-program runs. Each group is one executable whose
# tests carry the matching CTest label, or the LABEL given for the folder ("gui").
function(velmar_test_dir dir)
    cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${dir})
    string(REPLACE "/" "_" base ${rel})
    foreach(kind test itest long)
        file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*_${kind}.cpp)
        if(NOT srcs)
            continue()
        endif()
        if(kind STREQUAL "test")
            set(label unit)
        elseif(kind STREQUAL "itest")
            set(label integration)
        else()
            set(label long)
        endif()
        set(exe ${base}_${kind})
        # gtest_discover_tests takes one label per test: a folder's own label replaces the
        # kind's.
        if(T_LABELS)
            set(label ${T_LABELS})
        endif()
        add_executable(${exe} ${srcs})
        target_link_libraries(${exe} PRIVATE ${T_LIBS} velmar_test_support GTest::gtest_main
                                             GTest::gmock)
        if(NOT kind STREQUAL "test")
            # Whole-machine tests run the test programs and the command-line runner.
            add_dependencies(${exe} velmar_test_roms velmar_examples velmar-cli)
        endif()
        gtest_discover_tests(${exe} PROPERTIES LABELS ${label} DISCOVERY_TIMEOUT 60)
    endforeach()
endfunction()
