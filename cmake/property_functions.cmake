# The property functions as the build sees them: the rows of the list
# RUDID_PROPERTY_FUNCTIONS in include/rudid32.h, read at configure time (the
# header is a configure dependency, so a new row reconfigures).
#
#   rudid_property_functions(<names-var> <ordinals-var> [<arities-var>])

function(rudid_property_functions names_var ordinals_var)
  set(header ${PROJECT_SOURCE_DIR}/include/rudid32.h)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  # Rows start "X(NAME, ORDINAL, ARITY," with the name in capitals.
  string(REGEX MATCHALL "X\\([A-Z][A-Z0-9_]*, *[0-9]+, *[12]," rows "${text}")
  set(names)
  set(ordinals)
  set(arities)
  foreach(row IN LISTS rows)
    string(REGEX MATCH "X\\(([A-Z][A-Z0-9_]*), *([0-9]+), *([12])," _ "${row}")
    list(APPEND names ${CMAKE_MATCH_1})
    list(APPEND ordinals ${CMAKE_MATCH_2})
    list(APPEND arities ${CMAKE_MATCH_3})
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "no row of RUDID_PROPERTY_FUNCTIONS found in ${header}")
  endif()
  set(${names_var} ${names} PARENT_SCOPE)
  set(${ordinals_var} ${ordinals} PARENT_SCOPE)
  if(ARGC GREATER 2)
    set(${ARGV2} ${arities} PARENT_SCOPE)
  endif()
endfunction()
