# Reads `objdump -d` of a 32-bit image with its symbols and prints each SSE instruction whose
# memory operand must be 16-byte aligned but may not be: one on the stack in a function that does
# not align its own stack (32-bit callers align it to 4 bytes only), or one at a fixed address
# that is not a multiple of 16. Operands through other registers point at data whose alignment
# the code chose itself and are not judged here.
function flush() {
    if (stackUse != "" && !realigns) print fn ": " stackUse
    stackUse = ""
    realigns = 0
}
/^[0-9a-f]+ <.*>:$/ { flush(); fn = substr($2, 2, length($2) - 3); next }
/and +\$0xfffffff0,%esp/ { realigns = 1; next }
/%[xy]mm/ {
    op = $2
    # VEX-encoded instructions take any address but for the aligned moves; unaligned moves, and
    # operands of 4 or 8 bytes, take any address too.
    if (op ~ /^v/ && op !~ /^v(movdqa|movaps|movapd|movnt)/) next
    if (op ~ /^(movups|movupd|movdqu|lddqu|movd|movq|movlps|movhps|movlpd|movhpd|pinsrw|pextrw)$/) next
    if (op ~ /^(cvtdq2pd|cvtps2pd|cvtpi2ps|cvtpi2pd)$/ || op ~ /(ss|sd|si)$/) next
    line = $0
    sub(/^[^\t]*\t/, "", line)
    if (line ~ /\(%e[sb]p/) {
        if (stackUse == "") stackUse = line
    } else if (match(line, /(^|[ ,])0x[0-9a-f]+,/)) {
        address = substr(line, RSTART, RLENGTH)
        gsub(/[ ,]/, "", address)
        if (address !~ /0$/) print fn ": " line
    }
}
END { flush() }
