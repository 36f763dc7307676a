# The facts about a Kalvix release that the installed files and the package carry.
#
# The version is the project's. The release date is the date of the newest entry in the package
# changelog, and that entry must name the same version: a release is made by raising the project's
# version and adding a changelog entry, and configuring stops when only one of the two was done.

set(KALVIX_CHANGELOG "${PROJECT_SOURCE_DIR}/packaging/changelog")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${KALVIX_CHANGELOG}")
file(READ "${KALVIX_CHANGELOG}" _changelog)
if(NOT _changelog MATCHES "^kalvix \\(([^)]+)\\)")
    message(FATAL_ERROR "packaging/changelog does not start with a 'kalvix (VERSION) ...' entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "The newest entry of packaging/changelog is for ${CMAKE_MATCH_1}, but the project's "
        "version is ${PROJECT_VERSION}: add a changelog entry for ${PROJECT_VERSION}")
endif()
# The trailer line: " -- Name <address>  Day, DD Mon YYYY HH:MM:SS +ZZZZ"
if(NOT _changelog MATCHES "\n -- ([^\n]*>)  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry has no ' -- name <address>  date' line")
endif()
set(KALVIX_MAINTAINER "${CMAKE_MATCH_1}")
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _months "${CMAKE_MATCH_3}" _month)
if(_month LESS 0)
    message(FATAL_ERROR "packaging/changelog: '${CMAKE_MATCH_3}' is not a month")
endif()
math(EXPR _month "${_month} + 1")
string(LENGTH "${CMAKE_MATCH_2}" _dayLength)
set(_day "${CMAKE_MATCH_2}")
if(_dayLength EQUAL 1)
    set(_day "0${_day}")
endif()
if(_month LESS 10)
    set(_month "0${_month}")
endif()
set(KALVIX_RELEASE_DATE "${CMAKE_MATCH_4}-${_month}-${_day}")

# No licence has been chosen for Kalvix yet. The SPDX identifier goes into the AppStream metadata;
# packaging/copyright carries the same licence for the package and changes with it.
set(KALVIX_LICENSE "LicenseRef-proprietary")

set(KALVIX_HOMEPAGE "https://kalvix.example.org" CACHE STRING "Kalvix's web page, named by the installed metadata")
set(KALVIX_SCREENSHOT_URL "${KALVIX_HOMEPAGE}/docs" CACHE STRING
    "Where the README's pictures (docs/*.png) are published, for the screenshots in the AppStream metadata")
