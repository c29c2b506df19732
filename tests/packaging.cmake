# The desktop entry, the manual pages and the Debian package (its AppStream tree too), checked by
# their ecosystem's tools.
set(QUILLBROOK_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

add_test(NAME desktop_entry_valid
    COMMAND desktop-file-validate ${QUILLBROOK_DATA_DIR}/org.quillbrook.Quillbrook.desktop)

add_test(NAME man_pages
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_man_pages.sh
        ${QUILLBROOK_DATA_DIR}/man/quillbrook.1 ${QUILLBROOK_DATA_DIR}/man/quillbrook-agentctl.1)

add_test(NAME deb_package
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/deb_package.sh $<TARGET_FILE:quillbrook>
        ${CMAKE_BINARY_DIR}/deb-package)
set_tests_properties(deb_package PROPERTIES TIMEOUT 300)
