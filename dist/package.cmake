# The Debian package, made from a build folder with `cpack -G DEB`: what `cmake --install`
# installs, under /usr, with its dependencies computed from the libraries the programs use.
set(PELINOR_MAINTAINER "pelinor maintainers <maintainers@users.noreply.c-seed-444f253c.example>"
    CACHE STRING "The package's maintainer, as Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelinor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The pelinor developers")
set(CPACK_PACKAGE_CONTACT ${PELINOR_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stock price analysis and charts for the Japanese equity markets")
set(CPACK_PACKAGE_DESCRIPTION [[
pelinor keeps up to 640 trading days of daily prices for up to 3019 stocks
of the Tokyo market (or the other Japanese markets) in a small local
database, analyses every stock with technical indicators, ranks them, and
draws the charts of one stock at a time, from the user's own daily price
files.

Two programs share the data files of one folder: pelinorx stores the daily
files, analyses every stock and shows sortable rankings (also as batch
commands), and pelinorw, the chart viewer, shows daily and weekly
candlesticks, indicator panes, sign views, Ichimoku, a base-date comparison
and the long-term chart. pelinor-sample writes sample daily price files.
The screens are in Japanese.]])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PELINOR_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PELINOR_HOMEPAGE})
# The libraries the programs link come from dpkg-shlibdeps; SDL and the font are added at package
# time (package_depends.cmake.in).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

find_library(PELINOR_SDL_RUNTIME NAMES libSDL2-2.0.so.0 DOC "The SDL library the viewer opens")
set(CPACK_PELINOR_SDL_RUNTIME ${PELINOR_SDL_RUNTIME})
set(CPACK_PELINOR_FONT_DEPENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/pelinor_package_depends.cmake
     INPUT ${CMAKE_CURRENT_SOURCE_DIR}/package_depends.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/pelinor_package_depends.cmake)
set(CPACK_PELINOR_CHANGELOG ${CMAKE_CURRENT_SOURCE_DIR}/changelog)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/package_docs.cmake)

include(CPack)
