# Copies the fetched model files listed in SUMS that exist in SOURCE into DESTINATION
# (cmake -P script, run at every build; copies only what changed).
file(MAKE_DIRECTORY ${DESTINATION})
file(STRINGS ${SUMS} lines)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-f]+  " "" name "${line}")
  if(EXISTS ${SOURCE}/${name})
    file(COPY_FILE ${SOURCE}/${name} ${DESTINATION}/${name} ONLY_IF_DIFFERENT)
  endif()
endforeach()
