# Installs the changelog signed by whoever makes the package (maintainer.cmake);
# without one there is nothing to sign it with, and the package refuses to be
# made (package_check.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/maintainer.cmake)
morvane_maintainer(maintainer "${MORVANE_MAINTAINER}")
if(maintainer)
  file(READ ${MORVANE_CHANGELOG}.in text)
  string(REPLACE "@MAINTAINER@" "${maintainer}" text "${text}")
  file(WRITE ${MORVANE_CHANGELOG} "${text}")
  execute_process(COMMAND gzip -9nf ${MORVANE_CHANGELOG} COMMAND_ERROR_IS_FATAL ANY)
  file(INSTALL ${MORVANE_CHANGELOG}.gz DESTINATION ${CMAKE_INSTALL_PREFIX}/${MORVANE_DOCDIR})
endif()
