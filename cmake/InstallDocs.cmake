# Installs the manual pages and the bash completion of sonorell-cli.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/docs/man/sonorell.1 ${PROJECT_SOURCE_DIR}/docs/man/sonorell-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# bash-completion loads a command's completion on demand from its completions folder. The
# folder its pkg-config file names is used only when it lies under the install prefix, so
# that an install into /usr/local or a home folder never writes into the system's tree.
set(SONORELL_BASH_COMPLETION_DIR "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
pkg_get_variable(bash_completion_dir bash-completion completionsdir)
if(bash_completion_dir)
  cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX "${bash_completion_dir}" NORMALIZE under_prefix)
  if(under_prefix)
    cmake_path(RELATIVE_PATH bash_completion_dir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               OUTPUT_VARIABLE SONORELL_BASH_COMPLETION_DIR)
  endif()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/sonorell-cli
        DESTINATION ${SONORELL_BASH_COMPLETION_DIR})
