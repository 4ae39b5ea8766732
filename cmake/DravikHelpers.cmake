# dravik_add_subdirs(): adds every listed subfolder; a missing one fails
# the configuration rather than dropping a part of the program unnoticed.
function(dravik_add_subdirs)
  foreach(dir ${ARGN})
    add_subdirectory(${dir})
  endforeach()
endfunction()
