# Packaging: the install tree, desktop and AppStream metadata, the Debian package and the manual
# pages, each checked with Debian's own tools. They run on the finished build (the .deb reuses
# its programs): ctest -L packaging.

set(PQ_PACKAGING_TESTS ${PROJECT_SOURCE_DIR}/tests/packaging)

add_test(NAME packaging.install_tree
         COMMAND bash ${PQ_PACKAGING_TESTS}/install_tree.sh ${PROJECT_BINARY_DIR})
add_test(NAME packaging.desktop_metadata
         COMMAND bash ${PQ_PACKAGING_TESTS}/desktop_metadata.sh ${PROJECT_BINARY_DIR})
add_test(NAME packaging.debian_package
         COMMAND bash ${PQ_PACKAGING_TESTS}/debian_package.sh ${PROJECT_BINARY_DIR})
add_test(NAME packaging.manual_pages
         COMMAND bash ${PQ_PACKAGING_TESTS}/manual_pages.sh ${PROJECT_SOURCE_DIR})

set_tests_properties(packaging.install_tree packaging.desktop_metadata packaging.debian_package
                     packaging.manual_pages PROPERTIES LABELS packaging TIMEOUT 120)
# Installing from the build writes its install_manifest.txt; one install at a time.
set_tests_properties(packaging.install_tree packaging.desktop_metadata packaging.debian_package
                     PROPERTIES RESOURCE_LOCK pedigrafa_build_install)
