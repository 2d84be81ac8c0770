# random.sh - sourced by the benchmark scripts: MakeRandom BYTES FILE writes the same bytes on
# every run, AES-CTR over zeros with a fixed key, a fast stream that no encoder can take a short
# cut through (/dev/urandom where openssl is missing).
MakeRandom() {
    if command -v openssl >/dev/null; then
        # openssl ends on the broken pipe once head has its bytes; that is not a failure.
        { openssl enc -aes-128-ctr -nosalt -pass pass:uuarc-bench -pbkdf2 </dev/zero 2>/dev/null || true; } |
            head -c "$1" >"$2"
    else
        head -c "$1" /dev/urandom >"$2"
    fi
}
