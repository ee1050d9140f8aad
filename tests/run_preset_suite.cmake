# Configures, builds and tests one preset for another platform (PRESET: wasm, linux-arm64)
# from within the native suite, its tests holding it to this build's bits (REFERENCE, the
# case file write_reference_cases wrote, handed over as TESSARYN_REFERENCE_CASES).
# -DSOURCE_DIR=<project> -DPRESET=<preset> -DREFERENCE=<case file> -DPACKAGES=<Debian
# packages that bring the tools> -DPROGRAMS=<programs the preset needs, ;-separated>
include(${CMAKE_CURRENT_LIST_DIR}/optional_tools.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/preset_steps.cmake)
tessaryn_need_programs("${PACKAGES}" ${PROGRAMS})

tessaryn_preset_steps(${SOURCE_DIR} ${PRESET} TEST_ENV TESSARYN_REFERENCE_CASES=${REFERENCE})
