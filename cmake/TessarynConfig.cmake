include("${CMAKE_CURRENT_LIST_DIR}/TessarynTargets.cmake")
