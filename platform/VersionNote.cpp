// Puts the program's version into its file as an ELF note (see Version.h).
// Compiled into each program itself, since nothing refers to it.
#define ORVTT_TEXT(x) #x
#define ORVTT_NUMBER(x) ORVTT_TEXT(x)

__asm__(".pushsection .note.orvtt.version,\"a\",@note\n"
        ".balign 4\n"
        ".long 6\n"  // name size, "ORVTT" and its terminator
        ".long 8\n"  // two words
        ".long 1\n"  // type
        ".asciz \"ORVTT\"\n"
        ".balign 4\n"
        ".long (" ORVTT_NUMBER(ORVTT_VERSION_MAJOR) " << 16) | " ORVTT_NUMBER(ORVTT_VERSION_MINOR) "\n"
        ".long (" ORVTT_NUMBER(ORVTT_VERSION_PATCH) " << 16) | " ORVTT_NUMBER(ORVTT_VERSION_BUILD) "\n"
        ".popsection\n");
