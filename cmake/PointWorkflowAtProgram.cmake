# Run by the install: each installed workflow script names the korvex installed with it,
# PREFIX/bin/korvex, in its line installed_korvex='...', which is empty in the source tree. The
# scripts run that program unless told otherwise, and korvex on PATH when it is not there.
# Expects KORVEX_BIN_DIR and KORVEX_WORKFLOW_DIR, relative to the prefix.
get_filename_component(sProgram "${CMAKE_INSTALL_PREFIX}/${KORVEX_BIN_DIR}/korvex" ABSOLUTE)
if(sProgram MATCHES "['\\\n]")
  message(FATAL_ERROR "the workflow scripts cannot name ${sProgram}: it holds a quote, a backslash or a line end")
endif()
foreach(sScript Snakefile slurm/part.sbatch slurm/merge.sbatch)
  set(sPath "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KORVEX_WORKFLOW_DIR}/${sScript}")
  file(READ "${sPath}" sText)
  if(NOT sText MATCHES "\ninstalled_korvex ?= ?'[^'\n]*'\n")
    message(FATAL_ERROR "${sPath} has no line installed_korvex='...' to name ${sProgram} in")
  endif()
  string(REGEX REPLACE "\ninstalled_korvex( ?)=( ?)'[^'\n]*'\n" "\ninstalled_korvex\\1=\\2'${sProgram}'\n" sText "${sText}")
  file(WRITE "${sPath}" "${sText}")
endforeach()
