# Runs lupdate over the sources into a copy of each .ts file and fails when the copy holds a text
# without a finished translation: a new or changed text of the window that was not translated.
# Arguments: LUPDATE, LUPDATE_ARGUMENTS and TS_FILES (lists with "|" between items), WORK_DIR.
string(REPLACE "|" ";" LUPDATE_ARGUMENTS "${LUPDATE_ARGUMENTS}")
string(REPLACE "|" ";" TS_FILES "${TS_FILES}")
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(ts IN LISTS TS_FILES)
  get_filename_component(name ${ts} NAME)
  set(copy ${WORK_DIR}/${name})
  configure_file(${ts} ${copy} COPYONLY)
  execute_process(COMMAND ${LUPDATE} ${LUPDATE_ARGUMENTS} -ts ${copy}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}: ${status}")
  endif()
  file(READ ${copy} text)
  string(REGEX MATCHALL "<message[ >]" messages "${text}")
  list(LENGTH messages total)
  string(REGEX MATCHALL "<translation type=\"(unfinished|vanished|obsolete)\"" open "${text}")
  list(LENGTH open missing)
  string(REGEX MATCHALL "<translation></translation>" empty "${text}")
  list(LENGTH empty blank)
  if(total EQUAL 0 OR missing GREATER 0 OR blank GREATER 0)
    message(FATAL_ERROR "${name}: ${missing} of ${total} texts untranslated, ${blank} empty; "
                        "see ${copy}")
  endif()
  message(STATUS "${name}: ${total} texts, all translated")
endforeach()
