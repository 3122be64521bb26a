# cmake -DOBJDUMP=<objdump> -DFILES=<objects and archives> -P CheckNoStaticInit.cmake
# Fails when any object holds a static-constructor section (.init_array,
# .ctors, .CRT$XC*): the module's code must run only when the host calls it.
if(NOT OBJDUMP OR NOT FILES)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=<objdump> -DFILES=<files> -P CheckNoStaticInit.cmake")
endif()
set(found "")
foreach(file IN LISTS FILES)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file}: not built")
  endif()
  execute_process(COMMAND ${OBJDUMP} -h "${file}" OUTPUT_VARIABLE sections
                  ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -h ${file} failed: ${errors}")
  endif()
  if(sections MATCHES "[ \t](\\.init_array|\\.ctors|\\.CRT\\$XC)[^ \t\n]*")
    string(APPEND found "  ${file}: ${CMAKE_MATCH_0}\n")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "static constructors in the module's objects:\n${found}"
                      "Initialise those variables with constant expressions.")
endif()
list(LENGTH FILES count)
message(STATUS "${count} files checked: no static constructors")
