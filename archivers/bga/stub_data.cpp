// The self-extractor program, built first and carried inside the library.
#include <cstdint>

#define BGA_STR2(x) #x
#define BGA_STR(x) BGA_STR2(x)
#define BGA_SYM(n) BGA_STR(__USER_LABEL_PREFIX__) #n

asm(".section .rdata,\"dr\"\n"
    ".balign 4\n"
    ".globl " BGA_SYM(bga_sfx_stub) "\n" BGA_SYM(bga_sfx_stub) ":\n"
    ".incbin \"" BGA_SFX_STUB "\"\n"
    ".globl " BGA_SYM(bga_sfx_stub_end) "\n" BGA_SYM(bga_sfx_stub_end) ":\n"
    ".text\n");
