# The manual pages, the AppStream data, the Debian copyright and changelog
# files, and the Debian package that `cpack -G DEB` builds from the install
# rules (see scripts/package.sh, which also checks it with lintian).

set(VELMORA_APPSTREAM_ID io.github.velmora.velmora)
set(packaging_dir ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)

# The version lives in project(); the changelog, the AppStream releases and
# the manual pages' headers repeat it, and a forgotten one stops the
# configuration.
file(STRINGS ${packaging_dir}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^velmora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with version ${PROJECT_VERSION}: ${changelog_head}")
endif()
foreach(page velmora.1 velmora-cli.1)
  file(STRINGS ${packaging_dir}/${page} title ENCODING UTF-8 REGEX "^\\.TH ")
  if(NOT title MATCHES "\"Velmora ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/${page} does not name version ${PROJECT_VERSION}: ${title}")
  endif()
endforeach()
file(READ ${packaging_dir}/${VELMORA_APPSTREAM_ID}.metainfo.xml metainfo)
string(FIND "${metainfo}" "<release version=\"${PROJECT_VERSION}\"" release_at)
if(release_at EQUAL -1)
  message(FATAL_ERROR "packaging/${VELMORA_APPSTREAM_ID}.metainfo.xml has no release ${PROJECT_VERSION}")
endif()

# Debian wants manual pages and changelogs compressed with gzip -9n (no name,
# no time stamp: the same bytes on every build).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(gzipped)
foreach(pair "velmora.1;velmora.1.gz" "velmora-cli.1;velmora-cli.1.gz" "changelog;changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  add_custom_command(
    OUTPUT ${packaging_out}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging_dir}/${source} ${packaging_out}/${source}
    COMMAND ${GZIP_PROGRAM} -9nf ${packaging_out}/${source}
    DEPENDS ${packaging_dir}/${source}
    VERBATIM)
  list(APPEND gzipped ${packaging_out}/${target})
endforeach()
add_custom_target(velmora_packaging_files ALL DEPENDS ${gzipped})

install(FILES ${packaging_out}/velmora.1.gz ${packaging_out}/velmora-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_dir}/${VELMORA_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_dir}/copyright ${packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Équipe Velmora <velmora@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.github.io/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The WebP and TIFF readers and writers are Qt plugins loaded at run time,
# which dpkg-shlibdeps cannot see; the X11 platform plugin is part of
# libqt6gui6, which it does see. The help button starts xdg-open, and the
# palette's glyphs are drawn in DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core, xwayland")
# The first line is the synopsis; the rest, the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "small raster image editor (French interface)
Velmora est un petit éditeur d'images matricielles en français : dessin
(pinceau, gomme, formes, texte, pot de peinture), effets et filtres sur des
images BMP 24 bits, PNG, JPEG, GIF, WebP et TIFF. velmora-cli applique les
mêmes effets et filtres en ligne de commande, à une image ou par lots.

Velmora is a small raster image editor with a French user interface: drawing
tools, effects and filters on 24-bit BMP, PNG, JPEG, GIF, WebP and TIFF
images. velmora-cli applies the same effects and filters from the command
line, to one image or to many.")

include(CPack)
