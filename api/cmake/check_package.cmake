# Installs the codec library from BUILD_DIR into a fresh prefix under WORK_DIR,
# then configures, builds and runs examples/cpp against it through
# find_package(tpc). Run by ctest (codec_package_example).
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR CXX GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_package.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component codec)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/cpp -B ${WORK_DIR}/example -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/example)
run(${WORK_DIR}/example/codec_example)
message(STATUS "${last_output}")
if(NOT last_output MATCHES "0 information bit errors")
  message(FATAL_ERROR "the example did not decode its noiseless block without errors")
endif()
