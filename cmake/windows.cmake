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

# The commands and the window code they drive.
add_library(qvx_fileops STATIC fileops/pipeline.cpp ui/feedback.cpp ui/notice.cpp ui/app_state.cpp ui/lifetime.cpp)
target_link_libraries(qvx_fileops PUBLIC qvx_native qvx_core user32)

add_executable(QVX WIN32 ui/entry.cpp ui/main_window.cpp about/about_box.cpp about/update_check.cpp
               about/shell_open.cpp crash/report_dialog.cpp res/qvx.rc)
# The crash guard differs by processor: a handler chain record on x86, a last-resort filter on x64.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(QVX PRIVATE crash/guard_x86.cpp)
else()
    target_sources(QVX PRIVATE crash/guard_x64.cpp)
endif()
target_link_libraries(QVX PRIVATE qvx_fileops qvx_cmdline qvx_update_reply qvx_report comctl32 comdlg32
                      shell32 gdi32 wininet)
# The maker's web server, for the program's code and for its resources alike: a header made here,
# since windres loses the quotes of a string given on its command line.
configure_file(about/qvx_server.h.in ${CMAKE_BINARY_DIR}/generated/qvx_server.h @ONLY)
target_include_directories(QVX PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_options(QVX PRIVATE ${QVX_WINDOWS_LINK_OPTIONS})

# windres finds resource.h and the art beside qvx.rc but writes no dependency file: name them here
# so that a change to any of them rebuilds the resources.
set(QVX_RESOURCE_INPUTS resource.h banner.bmp qvx.ico qvx.manifest)
list(TRANSFORM QVX_RESOURCE_INPUTS PREPEND ${PROJECT_SOURCE_DIR}/res/)
list(APPEND QVX_RESOURCE_INPUTS ${PROJECT_SOURCE_DIR}/about/server.h ${CMAKE_BINARY_DIR}/generated/qvx_server.h)
set_source_files_properties(res/qvx.rc PROPERTIES OBJECT_DEPENDS "${QVX_RESOURCE_INPUTS}")
