# Compiles the help file: copies the listed files of the help project into a
# clean folder, runs chmcmd there on the project file, checks the result and
# puts it in place. Any missing file, warning or empty result fails the build.
#   CHMCMD  the compiler     SOURCE  the help/ folder     FILES  project-relative files
#   STAGE   a scratch folder OUTPUT  the help file to make
file(REMOVE ${OUTPUT})
file(REMOVE_RECURSE ${STAGE})
foreach(name IN LISTS FILES)
  if(NOT EXISTS ${SOURCE}/${name})
    message(FATAL_ERROR "help file missing: ${SOURCE}/${name}")
  endif()
  get_filename_component(folder ${STAGE}/${name} DIRECTORY)
  file(COPY ${SOURCE}/${name} DESTINATION ${folder})
endforeach()

execute_process(
  COMMAND ${CHMCMD} cimscope.hhp
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR out MATCHES "Warning|Error|exception")
  message(FATAL_ERROR "chmcmd failed (${result}):\n${out}")
endif()

set(chm ${STAGE}/cimscope.chm)
if(NOT EXISTS ${chm})
  message(FATAL_ERROR "chmcmd wrote no cimscope.chm")
endif()
file(SIZE ${chm} size)
file(READ ${chm} magic LIMIT 4 HEX)  # "ITSF"
if(size EQUAL 0 OR NOT magic STREQUAL "49545346")
  message(FATAL_ERROR "cimscope.chm is empty or not a help file (${size} bytes)")
endif()
file(COPY_FILE ${chm} ${OUTPUT})
