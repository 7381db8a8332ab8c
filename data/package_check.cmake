# Read by cpack: the package's Maintainer, and a refusal to make a package
# that would have no one's address in it.
include(${CPACK_MORVANE_MAINTAINER_SCRIPT})
morvane_maintainer(maintainer "${CPACK_MORVANE_MAINTAINER}")
if(NOT maintainer)
  message(FATAL_ERROR "The package names who makes it, and Morvane has no address of its own: "
          "set DEBFULLNAME and DEBEMAIL (Your Name, you@your.host) when running cpack, "
          "or configure with -DMORVANE_PACKAGE_MAINTAINER=\"Your Name <you@your.host>\".")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${maintainer}")
