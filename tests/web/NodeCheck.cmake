# Each of the pages' scripts read by node (--check): a syntax error fails.
#   cmake -DNODE=<node> -DSCRIPTS="a.js;b.js" -P NodeCheck.cmake
foreach(script ${SCRIPTS})
  execute_process(COMMAND ${NODE} --check ${script} RESULT_VARIABLE failed ERROR_VARIABLE said)
  if(failed)
    message(SEND_ERROR "${script}:\n${said}")
  endif()
endforeach()
