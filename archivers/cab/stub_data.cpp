// The self-extractor program, built first and carried inside the library.
#include <cstdint>

#define CAB_STR2(x) #x
#define CAB_STR(x) CAB_STR2(x)
#define CAB_SYM(n) CAB_STR(__USER_LABEL_PREFIX__) #n

asm(".section .rdata,\"dr\"\n"
    ".balign 4\n"
    ".globl " CAB_SYM(cab_sfx_stub) "\n" CAB_SYM(cab_sfx_stub) ":\n"
    ".incbin \"" CAB_SFX_STUB "\"\n"
    ".globl " CAB_SYM(cab_sfx_stub_end) "\n" CAB_SYM(cab_sfx_stub_end) ":\n"
    ".text\n");
