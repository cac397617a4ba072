# What `cmake --install` puts where, and the Debian package made of it (`make deb`).
#
#   bin/vorna, bin/vorna-cli
#   share/vorna/            exemple.tpl, new.tpl, gallery/*.vna (found there by the installed
#                           program, since bin/ holds no templates), formulas/*.vna and the
#                           pictures they read
#   share/man/man1/         vorna.1.gz, vorna-cli.1.gz (help2man from the programs' --help)
#   share/man/man5/         vorna.5.gz, the script format (go-md2man from the README's section)
#   share/bash-completion/completions/vorna-cli
#   share/applications/vorna.desktop, share/mime/packages/vorna.xml (text/x-vorna, *.vna)
#   share/icons/hicolor/    scalable/apps/vorna.svg, 48x48 and 128x128 PNGs rendered from it
#   share/doc/vorna/        copyright, changelog.Debian.gz; share/lintian/overrides/vorna
include(GNUInstallDirs)

set(VORNA_DEB_RELEASE 1)
set(VORNA_DATA ${CMAKE_INSTALL_DATADIR}/vorna)
set(VORNA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(VORNA_GENERATED ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS vorna-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/exemple.tpl ${PROJECT_SOURCE_DIR}/examples/new.tpl
    DESTINATION ${VORNA_DATA})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/gallery/ DESTINATION ${VORNA_DATA}/gallery
    FILES_MATCHING PATTERN "*.vna")
# The formula examples with the pictures their map and initmap lines name, side by side.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/formulas/ DESTINATION ${VORNA_DATA}/formulas
    FILES_MATCHING PATTERN "*.vna" PATTERN "*.png")
install(FILES ${VORNA_PACKAGING}/vorna-cli.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorna-cli)
install(FILES ${VORNA_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorna)
install(FILES ${VORNA_PACKAGING}/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME vorna)

# Compressed without a name or time stamp, so that two builds give the same bytes.
configure_file(${VORNA_PACKAGING}/changelog.Debian.in ${VORNA_GENERATED}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${VORNA_GENERATED}/changelog.Debian.gz
    COMMAND gzip -9nc ${VORNA_GENERATED}/changelog.Debian > ${VORNA_GENERATED}/changelog.Debian.gz
    DEPENDS ${VORNA_GENERATED}/changelog.Debian VERBATIM)
set(VORNA_GENERATED_FILES ${VORNA_GENERATED}/changelog.Debian.gz)
install(FILES ${VORNA_GENERATED}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorna)

# The manual pages are made from the programs' --help at build time, so that an option added to
# a program is in its page too; the .h2m files add the sections --help has not.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(VORNA_PAGES vorna-cli "run Vorna reaction-diffusion scripts without a window")
    if(TARGET vorna)
        list(APPEND VORNA_PAGES vorna "edit and run Vorna reaction-diffusion texture scripts")
    endif()
    while(VORNA_PAGES)
        list(POP_FRONT VORNA_PAGES program summary)
        set(page ${VORNA_GENERATED}/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${HELP2MAN} --no-info --section=1 --name=${summary}
                    --include=${VORNA_PACKAGING}/${program}.h2m --output=${page}
                    $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${page}
            DEPENDS ${program} ${VORNA_PACKAGING}/${program}.h2m VERBATIM)
        list(APPEND VORNA_GENERATED_FILES ${page}.gz)
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endwhile()
else()
    message(WARNING "help2man not found: no manual pages (apt-get install help2man)")
endif()
# The script format's page is the README's "Writing a script" section.
find_program(GO_MD2MAN go-md2man)
if(GO_MD2MAN)
    set(page ${VORNA_GENERATED}/vorna.5)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${VORNA_PACKAGING}/script-manpage.sh ${PROJECT_SOURCE_DIR}/README.md
                ${PROJECT_VERSION} ${page}
        COMMAND gzip -9nf ${page}
        DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${VORNA_PACKAGING}/script-manpage.sh VERBATIM)
    list(APPEND VORNA_GENERATED_FILES ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
else()
    message(WARNING "go-md2man not found: no vorna(5) page (apt-get install go-md2man)")
endif()
add_custom_target(vorna_packaging_files ALL DEPENDS ${VORNA_GENERATED_FILES})

if(TARGET vorna)
    install(TARGETS vorna RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${VORNA_PACKAGING}/vorna.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${VORNA_PACKAGING}/vorna.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    install(FILES ${VORNA_PACKAGING}/vorna.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 48 128)
        install(FILES ${VORNA_PACKAGING}/vorna-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vorna.png)
    endforeach()
endif()

# ---- Debian package --------------------------------------------------------------------------
# CPack's DEB generator packs what the rules above install, so the package cannot drift from
# `cmake --install`; dpkg-shlibdeps computes the libraries' packages. Qt's X11 and offscreen
# platform plugins come with libqt6gui6 (the package test starts vorna offscreen in a fresh root
# to show it). Only what is opened by path is listed by hand: the font of a sweep's contact sheet.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorna)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "seamless textures from reaction-diffusion simulations")
# The long description; CPack indents it and marks the empty line as Debian's control files want.
set(CPACK_PACKAGE_DESCRIPTION
    "Vorna grows tileable textures by simulating chemical reaction-diffusion
systems (Schlogl, Ginzburg-Landau and derived models, Maginu, Brusselator,
plain diffusion) on a periodic grid, described by short parameter scripts.

The package holds the desktop editor vorna, with a live preview, and the
command-line runner vorna-cli, plus one example script per model.")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VORNA_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "Vorna maintainers <maintainers@users.noreply.c-seed-04258ace.example>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# vorna-cli reads /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf for contact.png's text;
# dpkg-shlibdeps adds the libraries' packages to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt's own translations are loaded at run time (dpkg-shlibdeps cannot see them): the French
# dialogs need them, English works without.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
