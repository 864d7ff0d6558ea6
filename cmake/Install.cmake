# What `make install` (cmake --install) puts under the prefix:
#   bin/korvex, share/man/man1/korvex.1,
#   share/korvex/workflow/ (Snakefile, SLURM profile and sbatch scripts),
#   share/doc/korvex/ (README.md; examples/ with the bundled example).
include(GNUInstallDirs)
# make install builds what it installs (korvex and its page), not the tests.
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
