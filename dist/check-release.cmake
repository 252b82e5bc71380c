# The newest release in the software-centre data must be the version being built; otherwise
# software centres show the previous version as current.
file(READ ${METAINFO} text)
string(REGEX MATCH "<release version=\"([^\"]*)\"" found "${text}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR
            "newest release in ${METAINFO} is '${CMAKE_MATCH_1}' but the project is ${VERSION}")
endif()
