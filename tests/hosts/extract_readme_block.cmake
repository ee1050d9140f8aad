# Writes one code block of README.md to a file, for a build step that compiles it.
# -DREADME=<README.md> -DLANGUAGE=<fence language> -DCONTAINING=<regex picking the block>
# -DOUTPUT=<file>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/readme_blocks.cmake)
tessaryn_readme_block(block ${README} "${LANGUAGE}" "${CONTAINING}")
file(WRITE ${OUTPUT}.partial "${block}")
file(RENAME ${OUTPUT}.partial ${OUTPUT})
