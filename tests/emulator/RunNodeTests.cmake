# cmake -DNODE=node -DDIR=tests/emulator -P RunNodeTests.cmake
if(NOT EXISTS "${DIR}/node_modules/jsnes/package.json")
  message("jsnes is not installed: run `npm ci` in ${DIR}; skipping the emulator tests")
  return()
endif()
execute_process(COMMAND "${NODE}" --test WORKING_DIRECTORY "${DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "emulator tests failed (${rc})")
endif()
