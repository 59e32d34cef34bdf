# Seals a freshly linked executable: appends "VLFW-SHA256:" and the SHA-256 of the file
# as it stands, in 64 lower-case hex digits. The program checks the trailer at start.
# Run as: cmake -DFILE=<executable> -P sealexecutable.cmake
if(NOT FILE OR NOT EXISTS "${FILE}")
  message(FATAL_ERROR "sealexecutable: no file '${FILE}'")
endif()
set(marker "VLFW-SHA256:")
string(LENGTH "${marker}" marker_length)
math(EXPR trailer_length "${marker_length} + 64")
file(SIZE "${FILE}" size)
if(size GREATER trailer_length)
  math(EXPR tail_offset "${size} - ${trailer_length}")
  file(READ "${FILE}" tail OFFSET ${tail_offset} LIMIT ${trailer_length})
  if(tail MATCHES "^VLFW-SHA256:[0-9a-f]+$")
    # Sealed already: a second trailer would seal the first one instead of the program.
    return()
  endif()
endif()
file(SHA256 "${FILE}" digest)
string(TOLOWER "${digest}" digest)
file(APPEND "${FILE}" "${marker}${digest}")
