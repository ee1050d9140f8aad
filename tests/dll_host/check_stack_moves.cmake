# A DLL's code may meet a stack aligned to less than the 16 or 32 bytes an aligned vector move
# asks for (a 32-bit host's 4-byte stack; a 64-bit function's 32-byte spill slots, which GCC
# cannot realign there): such a move faults on one host and not on another. Checks, in the
# disassembly by OBJDUMP -d, that DLL holds no aligned vector move at all, and that it has
# AVX2 code (256-bit registers) where FOUR_BARS is set.
# -DDLL=<file> -DOBJDUMP=<objdump> -DFOUR_BARS=<ON|OFF>
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL}
  OUTPUT_VARIABLE code RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -d ${DLL} failed")
endif()
string(REGEX MATCHALL "[^\n]*[ \t](v?mova[pd][sd]|v?movdqa(32|64)?)[ \t][^\n]*" aligned "${code}")
list(LENGTH aligned count)
if(count GREATER 0)
  list(SUBLIST aligned 0 5 some)
  list(JOIN some "\n" some)
  message(FATAL_ERROR "${DLL}: ${count} aligned vector moves, such as:\n${some}")
endif()
string(REGEX MATCHALL "%ymm[0-9]+" wide "${code}")
list(LENGTH wide wide_count)
if(FOUR_BARS AND wide_count EQUAL 0)
  message(FATAL_ERROR "${DLL}: no AVX2 code, though the build has the four-bar width")
endif()
message(STATUS "${DLL}: no aligned vector moves; ${wide_count} uses of 256-bit registers")
