#!/usr/bin/env bash
# Lists every destructor that the given shared libraries register to run at exit (each call of
# __cxa_atexit or atexit in their code, with the function that makes it and what it registers)
# and fails when there is any but the standard library's own: a host's exit() runs them while the
# host's other threads may still be inside the library, so an object that lives for the process
# is made once with new and never destroyed.
#
# Allowed: std::ios_base::Init (every file that includes <iostream> registers it; the standard
# library counts them and flushes its streams once) and the multiprecision library's MPFR cleanup
# (it frees the exiting thread's own caches).
set -euo pipefail
found=0
for library in "$@"; do
  listing=$(objdump -d --no-show-raw-insn -C "$library" | awk '
    /^[0-9a-f]+ <.*>:$/ { function_name = $0; delete loaded; next }
    # What each register was last loaded with, by the symbol objdump names in its comment.
    /(lea|mov) +[^,]*\(%rip\),%r[a-z0-9]+ +# / {
      register = $0; sub(/.*\(%rip\),%/, "", register); sub(/ .*/, "", register)
      symbol = $0; sub(/.*# [0-9a-f]+ /, "", symbol)
      loaded[register] = symbol; next
    }
    /mov +%r[a-z0-9]+,%r[a-z0-9]+$/ {
      split($NF, operands, ","); from = substr(operands[1], 2); to = substr(operands[2], 2)
      loaded[to] = loaded[from]; next
    }
    /(call|jmp) .*<(__cxa_atexit|atexit)@plt>/ {
      registered = loaded["rdi"]
      if (registered ~ /ios_base::Init::~Init|mpfr_cleanup<true>::initializer::~initializer/) next
      print "  " function_name " registers " (registered == "" ? "an unknown function" : registered)
    }')
  if [ -n "$listing" ]; then
    echo "$library runs destructors at exit:"
    echo "$listing"
    found=1
  fi
done
[ "$found" = 0 ] && echo NO_EXIT_TIME_DESTRUCTORS
