# What is installed, and the packages CPack makes of it:
#   a distribution build (dynamic): .deb and .rpm, named and laid out as the
#   distributions name and lay out their own;
#   a static Linux build: the portable tarball, to unpack and run anywhere;
#   Windows: the zip.
# Every artifact is reproducible: its times are the last commit's (or
# SOURCE_DATE_EPOCH), and nothing in it depends on where it was built.

set(ostrel_maintainer "Ostrel developers <maintainers@users.noreply.c-seed-73da051b.example>")
set(ostrel_summary "converter of binary raster stacks into ascii stacks")
set(ostrel_description "Ostrel converts a binary raster stack (a header of twelve numbers, then
the cells, all single or all double precision, little-endian) into an
ascii stack: twelve labelled header lines, then one number per line, as
printf's %g writes it. Its output can be read, compared or imported as
text. It reads stacks from files, pipes and FIFOs, and never overwrites
its input.")

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_status)
  if(NOT git_status EQUAL 0)  # a source tarball: its own time stamps hold the release's time
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CHANGELOG.md commit_time "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
endif()
set(ostrel_source_date_epoch $ENV{SOURCE_DATE_EPOCH})
string(TIMESTAMP ostrel_release_date "%Y-%m-%d" UTC)
string(TIMESTAMP ostrel_debian_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP ostrel_rpm_date "%a %b %d %Y" UTC)

# The man page carries the version and the release's date.
configure_file(doc/Ostrel.1.in Ostrel.1 @ONLY)
function(ostrel_gzip name)
  add_custom_command(OUTPUT ${name}.gz
    COMMAND ${CMAKE_COMMAND} -DINPUT=${name} -DOUTPUT=${name}.gz -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
    DEPENDS ${PROJECT_BINARY_DIR}/${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
endfunction()

# The name a packaging convention gives CMAKE_SYSTEM_PROCESSOR: names holds
# pairs of processor and name; a processor not listed keeps its own name.
function(ostrel_processor_name names result)
  set(pairs ${names})
  list(FIND pairs "${CMAKE_SYSTEM_PROCESSOR}" index)
  set(name ${CMAKE_SYSTEM_PROCESSOR})
  if(index GREATER_EQUAL 0)
    math(EXPR index "${index} + 1")
    list(GET pairs ${index} name)
  endif()
  set(${result} ${name} PARENT_SCOPE)
endfunction()

set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR "the Ostrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${ostrel_summary}")
set(CPACK_PACKAGE_DESCRIPTION "${ostrel_description}")
set(CPACK_PACKAGE_CONTACT "${ostrel_maintainer}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# cpack reads this when it runs: it gives the packages the release's time.
configure_file(cmake/cpack-options.cmake.in cpack-options.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-options.cmake)

# The README and every page it links to, at the same relative paths, so
# that no link in a shipped README is dangling.
set(ostrel_pages README.md CONTRIBUTING.md CHANGELOG.md LICENSE)
set(ostrel_doc_pages doc/cluster.md doc/guide.md doc/performance.md)
if(WIN32)
  install(TARGETS Ostrel RUNTIME DESTINATION .)
  install(FILES ${ostrel_pages} DESTINATION .)
  install(FILES ${ostrel_doc_pages} DESTINATION doc)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ostrel-${PROJECT_VERSION}-win64)
elseif(OSTREL_STATIC)
  # The portable tarball: bin/ and share/man/ as under /usr/local, so that it
  # can also be unpacked into ~/.local with --strip-components=1.
  ostrel_gzip(Ostrel.1)
  add_custom_target(man_page ALL DEPENDS ${PROJECT_BINARY_DIR}/Ostrel.1.gz)
  install(TARGETS Ostrel RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_BINARY_DIR}/Ostrel.1.gz DESTINATION share/man/man1)
  install(FILES ${ostrel_pages} DESTINATION .)
  install(FILES ${ostrel_doc_pages} DESTINATION doc)
  # Where clusters are, which the tarball is for: the job-array example, at the README's path.
  install(PROGRAMS examples/slurm/convert-stacks.sbatch DESTINATION examples/slurm)
  set(CPACK_GENERATOR TGZ)
  ostrel_processor_name("aarch64;arm64;arm;armhf" portable_processor)
  set(CPACK_PACKAGE_FILE_NAME ostrel-${PROJECT_VERSION}-linux-${portable_processor})
else()
  # As a distribution installs it: the command, its compressed man page,
  # the copyright in Debian's machine-readable form and the changelog.
  file(READ LICENSE license_text)
  string(FIND "${license_text}" "Permission is hereby" license_start)
  string(SUBSTRING "${license_text}" ${license_start} -1 license_text)
  string(STRIP "${license_text}" license_text)
  string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
  string(REPLACE "\n" "\n " ostrel_license_paragraphs " ${license_text}")
  configure_file(cmake/debian-copyright.in copyright @ONLY)
  configure_file(cmake/debian-changelog.in changelog @ONLY)
  configure_file(cmake/rpm-changelog.in rpm-changelog @ONLY)
  ostrel_gzip(Ostrel.1)
  ostrel_gzip(changelog)
  add_custom_target(package_documents ALL DEPENDS ${PROJECT_BINARY_DIR}/Ostrel.1.gz ${PROJECT_BINARY_DIR}/changelog.gz)
  include(GNUInstallDirs)
  install(TARGETS Ostrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/Ostrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrel)
  # The .rpm needs rpmbuild; where it is missing only the .deb is made.
  find_program(RPMBUILD_EXECUTABLE rpmbuild)
  set(CPACK_GENERATOR DEB)
  if(RPMBUILD_EXECUTABLE)
    list(APPEND CPACK_GENERATOR RPM)
  endif()
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${ostrel_description}")
  # Dependencies from what the program links. A cross build cannot ask the
  # target's package database, so it names what the native build computes.
  if(CMAKE_CROSSCOMPILING)
    ostrel_processor_name("x86_64;amd64;aarch64;arm64;i686;i386;arm;armhf;ppc64le;ppc64el"
                          CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11)")
  else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()

  set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
  set(CPACK_RPM_PACKAGE_RELEASE 1)
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
  set(CPACK_RPM_PACKAGE_GROUP "Applications/Engineering")
  set(CPACK_RPM_PACKAGE_SUMMARY "Converter of binary raster stacks into ascii stacks")
  set(CPACK_RPM_PACKAGE_DESCRIPTION "${ostrel_description}")
  set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm-changelog)
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1)
  if(CMAKE_CROSSCOMPILING)
    set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  # The release's time in the package and on its files, and no host name.
  set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${ostrel_maintainer}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _build_id_links none")
endif()
include(CPack)
