# cmake -DFILE=path -DSIZE=bytes -P CheckSize.cmake: fails unless FILE has SIZE bytes.
file(SIZE "${FILE}" actual)
if(NOT actual EQUAL SIZE)
  file(REMOVE "${FILE}")
  message(FATAL_ERROR "${FILE} is ${actual} bytes, expected ${SIZE}")
endif()
