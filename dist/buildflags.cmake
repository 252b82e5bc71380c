# Compiles and links with the flags Debian builds its own packages with, all hardening included,
# and maps the source and build folders out of the binaries, so that two builds of one commit in
# different folders give the same bytes. Sanitizer and fuzz builds keep their own flags.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    message(WARNING "dpkg-buildflags not found: built without Debian's hardening flags")
    return()
endif()

set(debian_flags)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # The build type chooses optimisation and debug information; dpkg-buildflags maps the
    # folder it runs in, which we do ourselves below.
    list(FILTER flags EXCLUDE REGEX "^(-O[0-9s]?|-g|-ffile-prefix-map=.*)$")
    set(debian_${kind} ${flags})
endforeach()

# _FORTIFY_SOURCE only works, and otherwise warns, where the compiler optimises.
add_compile_options("$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${debian_CPPFLAGS}>")
# The build folder may lie inside the source folder; the map given last is tried first.
add_compile_options(${debian_CXXFLAGS}
                    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
add_link_options(${debian_LDFLAGS})
