# What `cmake --install` puts beside the two programs, and the Debian
# package CPack makes of it (cpack -G DEB in the build folder):
#   bin/                               mirsight, mirsight-collapse
#   share/mirsight/workflow/           the Snakemake workflow: Snakefile, config.yaml,
#                                      the sample sheet (samples.tsv), profiles/, README.md
#   share/doc/mirsight/                README.md, docs/, changelog.gz (CHANGELOG.md),
#                                      copyright, changelog.Debian.gz
#   share/man/man1/                    mirsight.1.gz, mirsight-map.1.gz, mirsight-merge.1.gz,
#                                      mirsight-collapse.1.gz
#   share/bash-completion/completions/ mirsight, mirsight-collapse
# The manual pages and the completion are made at build time by the built
# program from its own help ("mirsight help --man NAME", "mirsight help
# --completion"), so they cannot drift from "mirsight help map".
include(GNUInstallDirs)

# The version is the one the program prints (src/core/version.hpp).
file(STRINGS ${PROJECT_SOURCE_DIR}/src/core/version.hpp MIRSIGHT_VERSION_LINE REGEX "mirsight_version = ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" MIRSIGHT_VERSION "${MIRSIGHT_VERSION_LINE}")

set(MIRSIGHT_GENERATED_DOCS ${CMAKE_BINARY_DIR}/generated/docs)
file(MAKE_DIRECTORY ${MIRSIGHT_GENERATED_DOCS})
set(MIRSIGHT_MAN_PAGES mirsight mirsight-map mirsight-merge mirsight-collapse)
set(MIRSIGHT_DOC_FILES)
# Each file is written under a temporary name and renamed, so that a failed
# run leaves no half file that the next build would take as made.
foreach(page ${MIRSIGHT_MAN_PAGES})
    set(page_file ${MIRSIGHT_GENERATED_DOCS}/${page}.1)
    add_custom_command(OUTPUT ${page_file} ${page_file}.gz
                       COMMAND sh -c "\"$0\" help --man \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\""
                               $<TARGET_FILE:mirsight> ${page} ${page_file}
                       COMMAND gzip -9nf -k ${page_file}
                       DEPENDS mirsight VERBATIM)
    list(APPEND MIRSIGHT_DOC_FILES ${page_file} ${page_file}.gz)
endforeach()
set(MIRSIGHT_COMPLETION ${MIRSIGHT_GENERATED_DOCS}/mirsight.bash)
add_custom_command(OUTPUT ${MIRSIGHT_COMPLETION}
                   COMMAND sh -c "\"$0\" help --completion > \"$1.tmp\" && mv \"$1.tmp\" \"$1\""
                           $<TARGET_FILE:mirsight> ${MIRSIGHT_COMPLETION}
                   DEPENDS mirsight VERBATIM)
# The change logs, compressed as Debian keeps them: CHANGELOG.md is
# changelog.gz, the package's own log changelog.Debian.gz.
set(MIRSIGHT_CHANGELOG ${MIRSIGHT_GENERATED_DOCS}/changelog.gz)
add_custom_command(OUTPUT ${MIRSIGHT_CHANGELOG}
                   COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${MIRSIGHT_CHANGELOG}
                   DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md VERBATIM)
set(MIRSIGHT_DEBIAN_CHANGELOG ${MIRSIGHT_GENERATED_DOCS}/changelog.Debian.gz)
add_custom_command(OUTPUT ${MIRSIGHT_DEBIAN_CHANGELOG}
                   COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian
                           ${MIRSIGHT_DEBIAN_CHANGELOG}
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian VERBATIM)
add_custom_target(mirsight_docs ALL DEPENDS ${MIRSIGHT_DOC_FILES} ${MIRSIGHT_COMPLETION} ${MIRSIGHT_CHANGELOG}
                  ${MIRSIGHT_DEBIAN_CHANGELOG})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS mirsight mirsight-collapse RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES workflow/Snakefile workflow/config.yaml workflow/samples.tsv workflow/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mirsight/workflow)
install(DIRECTORY workflow/profiles DESTINATION ${CMAKE_INSTALL_DATADIR}/mirsight/workflow)
set(MIRSIGHT_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/mirsight)
install(FILES README.md packaging/copyright ${MIRSIGHT_CHANGELOG} ${MIRSIGHT_DEBIAN_CHANGELOG}
        DESTINATION ${MIRSIGHT_DOC_DIR})
install(DIRECTORY docs DESTINATION ${MIRSIGHT_DOC_DIR})
foreach(page ${MIRSIGHT_MAN_PAGES})
    install(FILES ${MIRSIGHT_GENERATED_DOCS}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# bash-completion loads a command's completion from the file of its name.
install(FILES ${MIRSIGHT_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME mirsight)
install(FILES ${MIRSIGHT_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME mirsight-collapse)

# The Debian package: its library dependencies computed by dpkg-shlibdeps,
# the programs stripped, every file owned by root.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirsight)
set(CPACK_PACKAGE_VERSION ${MIRSIGHT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small-RNA sequencing reads on known mature miRNAs")
# After the synopsis above; CPack indents its lines, an empty line
# separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "mirsight tells which small-RNA sequencing reads come from which known
mature microRNAs, and in which form (isomiRs). It trims raw reads
(FASTQ or FASTA, plain or gzip) of any common kit's adapter, maps each
sample, and merges the samples of a study into miRNA and isomiR count
matrices, with MultiQC sections and mirGFF3 files.

The package holds the programs mirsight and mirsight-collapse, their
manual pages and bash completion, and a Snakemake workflow for whole
studies in /usr/share/mirsight/workflow.")
# A package revision after the version: the package is not the source's
# own (its Debian change log is changelog.Debian.gz, packaging/changelog.Debian).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "mirsight maintainers <maintainers@users.noreply.c-seed-a217e469.example>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the workflow runs besides mirsight.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "snakemake, mirtop, multiqc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
