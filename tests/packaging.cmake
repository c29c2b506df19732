# The Debian package, its AppStream tree, desktop entry and manual pages, checked by their
# ecosystem's tools.
add_test(NAME deb_package
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/deb_package.sh $<TARGET_FILE:quillbrook>
        ${CMAKE_BINARY_DIR}/deb-package)
set_tests_properties(deb_package PROPERTIES TIMEOUT 300)
