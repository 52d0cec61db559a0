# Windows program: static (no MinGW DLLs), ASLR and DEP; the 32-bit build also runs on Windows XP
# and may use memory above 2 GiB.
set(QVX_WINDOWS_LINK_OPTIONS -static -municode -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND QVX_WINDOWS_LINK_OPTIONS -Wl,--large-address-aware
        -Wl,--subsystem,windows:5.01 -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
else()
    list(APPEND QVX_WINDOWS_LINK_OPTIONS -Wl,--high-entropy-va)
endif()
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501)
# The command-line companion is a console program with the same reach.
string(REPLACE "subsystem,windows" "subsystem,console" QVX_CLI_LINK_OPTIONS "${QVX_WINDOWS_LINK_OPTIONS}")

# The layer over the system: linked by the program, qvx.exe and the tests of the layer.
add_library(qvx_native STATIC native/native.cpp native/process_block.cpp)
target_include_directories(qvx_native PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qvx_native PUBLIC ntdll)

# What the commands, the About box and the crash report share: the one record, the window's
# feedback, the notice and the ways out of the process.
add_library(qvx_app STATIC app/app_state.cpp app/feedback.cpp app/notice.cpp app/lifetime.cpp)
target_link_libraries(qvx_app PUBLIC qvx_native user32)

# The commands.
add_library(qvx_fileops STATIC fileops/pipeline.cpp fileops/transform.cpp fileops/output.cpp)
target_link_libraries(qvx_fileops PUBLIC qvx_app qvx_core)

# The parts of the program that do not name the maker's server, compiled once for the program and
# its twin. The crash guard differs by processor: a handler chain record on x86, a last-resort filter
# on x64.
add_library(qvx_program_parts OBJECT ui/entry.cpp ui/main_window.cpp about/shell_open.cpp
            crash/report_dialog.cpp)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(qvx_program_parts PRIVATE crash/guard_x86.cpp)
else()
    target_sources(qvx_program_parts PRIVATE crash/guard_x64.cpp)
endif()
target_link_libraries(qvx_program_parts PUBLIC qvx_fileops qvx_cmdline qvx_update_reply qvx_report comctl32
                      comdlg32 shell32 gdi32 wininet)

# qvx_program(TARGET SERVER GENERATED): the program, asking SERVER for updates. The server's name
# reaches its code and its resources alike through a header made in GENERATED, since windres loses
# the quotes of a string given on its command line.
function(qvx_program target server generated)
    set(QVX_SERVER ${server})
    configure_file(about/qvx_server.h.in ${generated}/qvx_server.h @ONLY)
    add_executable(${target} WIN32 about/about_box.cpp about/update_check.cpp res/qvx.rc)
    target_link_libraries(${target} PRIVATE qvx_program_parts)
    target_include_directories(${target} PRIVATE ${generated})
    target_link_options(${target} PRIVATE ${QVX_WINDOWS_LINK_OPTIONS})
endfunction()

qvx_program(QVX ${QVX_SERVER} ${CMAKE_BINARY_DIR}/generated)
set(QVX_SERVER_HEADERS ${CMAKE_BINARY_DIR}/generated/qvx_server.h)
if(QVX_TWIN_SERVER)
    # The same program asking another server, as twin/QVX.exe: the About tests' program when the
    # shipped one keeps the maker's server.
    qvx_program(QVX_twin ${QVX_TWIN_SERVER} ${CMAKE_BINARY_DIR}/twin/generated)
    set_target_properties(QVX_twin PROPERTIES OUTPUT_NAME QVX RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/twin)
    list(APPEND QVX_SERVER_HEADERS ${CMAKE_BINARY_DIR}/twin/generated/qvx_server.h)
endif()

# windres finds resource.h and the art beside qvx.rc but writes no dependency file: name them here
# so that a change to any of them rebuilds the resources.
set(QVX_RESOURCE_INPUTS resource.h version.h banner.bmp qvx.ico qvx.manifest)
list(TRANSFORM QVX_RESOURCE_INPUTS PREPEND ${PROJECT_SOURCE_DIR}/res/)
list(APPEND QVX_RESOURCE_INPUTS ${PROJECT_SOURCE_DIR}/about/server.h ${QVX_SERVER_HEADERS})
set_source_files_properties(res/qvx.rc PROPERTIES OBJECT_DEPENDS "${QVX_RESOURCE_INPUTS}")
