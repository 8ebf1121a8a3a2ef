# Programs built outside the tree against the installed library render a
# scene with the command line's bytes, once found through the CMake
# package and once through pkg-config; the shared library exports exactly
# the functions its header declares.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK=... -P installed_package.cmake
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line}\nfailed (${status}):\n${out}\n${err}")
  endif()
endfunction()

function(same_bytes a b what)
  file(SHA256 ${a} ha)
  file(SHA256 ${b} hb)
  file(SIZE ${a} sa)
  if(NOT ha STREQUAL hb OR sa EQUAL 0)
    message(FATAL_ERROR "${what}: ${a} (${ha}) is not ${b} (${hb})")
  endif()
  message(STATUS "${what}: the command line's bytes (${sa} bytes)")
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(scene ${SOURCE_DIR}/examples/orbit.json)

# The command line's picture: frame 45 of 30 a second is the moment 1.5,
# at a size that is no multiple of the tile edge.
run(${BUILD_DIR}/lumek --scene ${scene} -shot --size 100x57 --time 1.5 --output ${WORK}/cli)

# Through the CMake package.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK}/examples -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/examples)
run(${WORK}/examples/render_scene_c ${scene} ${WORK}/c.rgb 100 57 45)
same_bytes(${WORK}/c.rgb ${WORK}/cli.raw "C program (CMake package)")
run(${WORK}/examples/render_scene_cpp ${scene} ${WORK}/cpp.rgb 100 57 45)
same_bytes(${WORK}/cpp.rgb ${WORK}/cli.raw "C++ program (CMake package)")

# The static library from a project of C alone.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/capi/c-only -B ${WORK}/c-only
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix}
  -DEXAMPLE_SOURCE=${SOURCE_DIR}/examples/render_scene.c)
run(${CMAKE_COMMAND} --build ${WORK}/c-only)
run(${WORK}/c-only/render_scene_static ${scene} ${WORK}/static.rgb 100 57 45)
same_bytes(${WORK}/static.rgb ${WORK}/cli.raw "C program (static library, C alone)")

# Through pkg-config, with the system's C compiler.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs lumek OUTPUT_VARIABLE flags
  RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know lumek")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(cc -std=c99 -Wall -Wextra -Werror -I/usr/include/stb -o ${WORK}/render_pc
  ${SOURCE_DIR}/examples/render_scene.c ${flags} -Wl,-rpath,${prefix}/lib)
run(${WORK}/render_pc ${scene} ${WORK}/pc.rgb 100 57 45)
same_bytes(${WORK}/pc.rgb ${WORK}/cli.raw "C program (pkg-config)")
run(${WORK}/render_pc ${scene} ${WORK}/pc.png)

# The exported symbols are the header's functions, nothing more.
file(STRINGS ${prefix}/include/lumek/lumek.h declared REGEX "^LUMEK_API ")
set(want "")
foreach(line IN LISTS declared)
  string(REGEX MATCH "(lumek_[a-z_]+)\\(" _ "${line}")
  list(APPEND want ${CMAKE_MATCH_1})
endforeach()
list(SORT want)
execute_process(COMMAND nm -D --defined-only ${prefix}/lib/liblumek.so.1 OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(have "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-f]* *[A-Za-z] " "" name "${line}")
  string(REGEX REPLACE "@.*$" "" name "${name}")
  if(NOT name STREQUAL "LUMEK_1")  # the version node itself
    list(APPEND have ${name})
  endif()
endforeach()
list(SORT have)
if(NOT have STREQUAL want)
  message(FATAL_ERROR "exported: ${have}\ndeclared: ${want}")
endif()
list(LENGTH have n)
message(STATUS "liblumek.so.1 exports the header's ${n} functions and nothing else")
