# Every target defined in DIR and the folders below it, into `esito`, in the
# order they were defined.
function(velto_bersagli_in esito dir)
  get_property(bersagli DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(sotto DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(s IN LISTS sotto)
    velto_bersagli_in(altri "${s}")
    list(APPEND bersagli ${altri})
  endforeach()
  set(${esito} ${bersagli} PARENT_SCOPE)
endfunction()
