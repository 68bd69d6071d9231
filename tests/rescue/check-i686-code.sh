#!/usr/bin/env bash
# The i686 program holds no instruction past the Pentium Pro's (i686), in our code or in what it
# links, outside the C library's run-time CPU dispatch: glibc picks among variants of memcpy,
# strlen, ... by the CPU it finds, and names them after what they need (__memcpy_sse2_unaligned,
# __strlen_sse2, __strcspn_sse42, ...). Reads the disassembly of the unstripped program (objdump)
# and prints every other function that uses MMX, SSE or later registers or instructions.
# Also allowed, each behind a CPUID test of its own: glibc's reading of the CPU's features
# (update_active: xgetbv only when CPUID reports OSXSAVE) and libstdc++'s std::random_device
# (__x86_rdrand, __x86_rdseed: only when CPUID reports RDRAND or RDSEED). Two encodings that
# objdump names after later instructions run on every i686: endbr32 is a hint NOP, and tzcnt
# (F3 0F BC) runs as bsf there, which GCC emits only where the two agree.
# Usage: check-i686-code.sh PROGRAM
set -euo pipefail
program=$1
file -b "$program" | grep 'not stripped' >/dev/null || {
  echo "check-i686-code: $program is stripped: no function names to check by" >&2
  exit 2
}
objdump -d --no-show-raw-insn "$program" | awk -F'\t' '
  /^[0-9a-f]+ <.*>:$/ { name = $0; sub(/^[0-9a-f]+ </, "", name); sub(/>:$/, "", name); next }
  NF >= 2 {
    split($2, word, " "); op = word[1]
    if (op ~ /^(rep|repz|repnz|lock|data16|addr16|ds|cs|ss|es|fs|gs|bnd|notrack)$/) op = word[2]
    later = $2 ~ /%[xyz]?mm[0-9]/ ||
            op ~ /^(v.*|ldmxcsr|stmxcsr|fxsave.*|fxrstor.*|xsave.*|xrstor.*|movnti|clflush.*|[lms]fence|prefetch.*|popcnt|lzcnt|movbe|crc32.*|rdrand|rdseed|emms|femms|andn|bextr|bls.*|bzhi|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox|cmpxchg16b|xgetbv|rdtscp)$/
    if (!later) next
    if (name ~ /_(sse2|sse3|ssse3|sse4_1|sse4_2|sse42|avx|avx2|evex|avx512)/) { dispatched[name] = 1; next }
    if (name ~ /^update_active(\.|$)/ || name ~ /^_ZNSt12_GLOBAL__N_1[0-9]+__x86_rd(rand|seed|seed_rdrand)EPv$/) next
    if (!(name in found)) { found[name] = op; order[++count] = name }
  }
  END {
    n = 0; for (f in dispatched) n++
    for (i = 1; i <= count; ++i) print "check-i686-code: " order[i] " uses " found[order[i]]
    if (count > 0) { print "check-i686-code: " count " functions use instructions past i686"; exit 1 }
    print "check-i686-code: no instruction past i686 outside the C library'"'"'s " n " CPU-dispatched variants"
  }'
