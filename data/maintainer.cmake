# morvane_maintainer(OUT CONFIGURED): who makes the package, as
# "Name <address>": CONFIGURED when given, else DEBFULLNAME and DEBEMAIL (or
# DEBEMAIL alone in that form), as Debian's own tools take them; else empty.
# The project has no address of its own to put there.
function(morvane_maintainer out configured)
  set(who "${configured}")
  if(NOT who AND "$ENV{DEBEMAIL}" MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
    set(who "$ENV{DEBEMAIL}")
  elseif(NOT who AND NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND "$ENV{DEBEMAIL}" MATCHES "^[^<>@ ]+@[^<>@ ]+$")
    set(who "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  endif()
  set(${out} "${who}" PARENT_SCOPE)
endfunction()
