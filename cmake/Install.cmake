# What `make install` (cmake --install) puts under the prefix, and the Debian package that
# `make deb` (cpack) builds from the same rules:
#   bin/korvex, share/man/man1/korvex.1,
#   share/korvex/workflow/ (Snakefile, SLURM profile and sbatch scripts),
#   share/doc/korvex/ (README.md; examples/ with the bundled example).
include(GNUInstallDirs)
# make install and cpack build what they install (korvex and its page), not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(KORVEX_WORKFLOW_DIR ${CMAKE_INSTALL_DATADIR}/korvex/workflow)

install(TARGETS korvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KORVEX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/README.md examples/example.cfg examples/example.sam DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES workflow/Snakefile DESTINATION ${KORVEX_WORKFLOW_DIR})
install(FILES workflow/profiles/slurm/config.yaml DESTINATION ${KORVEX_WORKFLOW_DIR}/profiles/slurm)
install(PROGRAMS workflow/profiles/slurm/status.sh DESTINATION ${KORVEX_WORKFLOW_DIR}/profiles/slurm)
install(PROGRAMS workflow/slurm/part.sbatch workflow/slurm/merge.sbatch workflow/slurm/submit.sh
        DESTINATION ${KORVEX_WORKFLOW_DIR}/slurm)
# The installed workflow runs the korvex installed with it; the prefix is known only now.
install(CODE "set(KORVEX_BIN_DIR \"${CMAKE_INSTALL_BINDIR}\")\nset(KORVEX_WORKFLOW_DIR \"${KORVEX_WORKFLOW_DIR}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/PointWorkflowAtProgram.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "probabilities of the alignments of multireads in SAM, BAM and CRAM files")
set(CPACK_PACKAGE_DESCRIPTION
    "korvex reads the alignments that a short-read aligner wrote, groups the alignments of each read,
keeps the plausible ones and, for every read with two to five kept alignments, computes how
probable each alignment is: a proportional estimate from the uniquely aligned reads nearby and a
Bayesian posterior from an MCMC sampler. Its output is the SAM file with the probabilities
appended, or SAM, BAM or CRAM with probability tags. The package holds the program, its manual
page, the bundled example, and a Snakemake workflow and SLURM scripts for runs divided over
several machines.")
set(KORVEX_PACKAGE_MAINTAINER "KORVEX developers <dev@korvex.invalid>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVEX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: the packages of the libraries that the program links (htslib, libgomp, libstdc++,
# libdeflate, libc), found by dpkg-shlibdeps (dpkg-dev) in the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "samtools, snakemake, slurm-client")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvex_VERSION_ARCH.deb
set(CPACK_STRIP_FILES ON)
# The version is the one the packaged program reports, read when cpack runs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/KorvexPackageVersion.cmake)
file(GENERATE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} CONTENT [==[
execute_process(COMMAND "$<TARGET_FILE:korvex>" --version OUTPUT_VARIABLE sReported RESULT_VARIABLE iStatus)
string(REGEX MATCH "[0-9]+(\\.[0-9]+)+" sVersion "${sReported}")
if(NOT iStatus EQUAL 0 OR sVersion STREQUAL "")
  message(FATAL_ERROR "$<TARGET_FILE:korvex> --version gave no version (status ${iStatus}): build korvex first")
endif()
set(CPACK_PACKAGE_VERSION "${sVersion}")
set(CPACK_PACKAGE_FILE_NAME "korvex-${sVersion}")
]==])
include(CPack)
