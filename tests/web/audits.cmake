# Audits of the page as served, compressed, from the loopback, with the
# tools tests/web/package-lock.json pins (installed by
# scripts/install-web-deps): Lighthouse's scores as a phone and as a
# desktop, and axe-core's WCAG A/AA and best-practice rules in English and
# Japanese, on a desktop window and on a phone, with every control reached
# by the Tab key and showing its focus.
set(ZINTREL_WEB_TEST_NPM_DIR ${PROJECT_SOURCE_DIR}/build/web-test-npm/node_modules CACHE PATH
    "The installed npm packages the page's audits run")
add_test(NAME WebPage.Lighthouse
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/lighthouse_test.py ${PROJECT_BINARY_DIR}/page
          ${ZINTREL_WEB_TEST_NPM_DIR}/lighthouse/cli/index.js)
add_test(NAME WebPage.Accessibility
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/audit_test.py ${PROJECT_BINARY_DIR}/page
          ${ZINTREL_WEB_TEST_NPM_DIR}/axe-core/axe.min.js)
# One browser at a time, as the page's other tests; Lighthouse's scores
# also count the time the machine gives the page.
set_tests_properties(WebPage.Lighthouse WebPage.Accessibility PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
# The server those audits load the page from.
add_test(NAME WebPage.StaticServer COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/static_server_test.py)
