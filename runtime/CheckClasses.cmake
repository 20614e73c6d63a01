# Fails when the compiled applet is not exactly the expected class files (cmake -P, with DIR and
# EXPECTED set).
file(GLOB_RECURSE found RELATIVE ${DIR} ${DIR}/*)
list(SORT found)
set(wanted ${EXPECTED})
list(SORT wanted)
if(NOT found STREQUAL wanted)
    message(FATAL_ERROR "the applet compiled to '${found}' instead of '${wanted}'")
endif()
