# i386-probe.s - the smallest static 32-bit x86 program: it exits with status 32. The gate builds
# it with binutils alone (as --32, ld -m elf_i386) and runs it to learn whether this machine runs
# 32-bit programs; a kernel without IA-32 emulation refuses it with "Exec format error".
    .globl _start
    .text
_start:
    movl $1, %eax       # exit
    movl $32, %ebx      # status
    int $0x80
