# Windows program: static (no MinGW DLLs), ASLR and DEP; the 32-bit build also runs on Windows XP
# and may use memory above 2 GiB.
set(QVX_WINDOWS_LINK_OPTIONS -static -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND QVX_WINDOWS_LINK_OPTIONS -Wl,--large-address-aware
        -Wl,--subsystem,windows:5.01 -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
else()
    list(APPEND QVX_WINDOWS_LINK_OPTIONS -Wl,--high-entropy-va)
endif()

add_executable(QVX WIN32 ui/entry.cpp)
target_link_libraries(QVX PRIVATE qvx_core)
target_link_options(QVX PRIVATE ${QVX_WINDOWS_LINK_OPTIONS})
