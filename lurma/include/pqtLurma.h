/* The Lurma terminal library: thirteen functions and one notification message.
 * Plain C ABI so that the server loads it by name and any language can call it. */
#ifndef PQTLURMA_H
#define PQTLURMA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PQTLURMA_API __declspec(dllexport)
#else
#define PQTLURMA_API __attribute__((visibility("default")))
#endif

/* One byte, nonzero is true. */
typedef unsigned char LurmaBool;

/* The "window handle" handed to bInitialize on platforms without window messages.
 * registerMessage returns the number of a named message (0xC000 and up, the same number for
 * the same name); postMessage queues that message to the window and may be called from any
 * thread. */
typedef struct LurmaWindowPort {
    void *context;
    uint32_t (*registerMessage)(void *context, const char *name);
    void (*postMessage)(void *context, uint32_t message);
} LurmaWindowPort;

/* Name under which the library registers its notification message. */
#define LURMA_NOTIFICATION_NAME "LurmaReceiveDataTC"

/* Buffer widths in bytes. */
enum {
    LURMA_ADDRESS_TEXT = 16,
    LURMA_BARCODE = 15,
    LURMA_IP = 16,
    LURMA_LINE = 20,
    LURMA_DISPLAY = 2
};

PQTLURMA_API LurmaBool bInitialize(LurmaWindowPort *window);
PQTLURMA_API void vGetMsgWinReceiveDataTC(uint32_t *message);
PQTLURMA_API LurmaBool bTerminate(void);

PQTLURMA_API LurmaBool bConnect(uint32_t *address);
PQTLURMA_API LurmaBool bDisconnect(uint32_t *address);
PQTLURMA_API LurmaBool bReceiveBarcode(uint32_t *address, char *barcode);

/* Addresses are 32-bit values in network byte order, as inet_addr gives them. */
PQTLURMA_API LurmaBool Inet_NtoA(uint32_t address, char *text);
PQTLURMA_API uint32_t Inet_Addr(const char *text);

PQTLURMA_API LurmaBool CloseTerminal(uint32_t *address);
PQTLURMA_API LurmaBool bSendProdPriceQV62K(uint32_t *address, const char *description,
                                           const char *price);
PQTLURMA_API LurmaBool bSendProdNotFound(uint32_t *address);

/* The five trailing arguments are reserved and passed as 0. */
PQTLURMA_API LurmaBool GetConfigurationNew(const char *terminal, char *ip, char *serverIp,
                                           char *netmask, char *line1, char *line2, char *line3,
                                           char *line4, char *display, int32_t reserved1,
                                           int32_t reserved2, int32_t reserved3, int32_t reserved4,
                                           int32_t reserved5);
/* A null pointer is an empty field. */
PQTLURMA_API LurmaBool SendConfiguration(const char *terminal, const char *ip, const char *serverIp,
                                         const char *netmask, const char *line1, const char *line2,
                                         const char *line3, const char *line4, const char *display);

/* The thirteen names, for callers that load the library by name: X(name) for each. */
#define PQTLURMA_FUNCTIONS(X)                                                                    \
    X(bInitialize) X(vGetMsgWinReceiveDataTC) X(bTerminate) X(bConnect) X(bDisconnect)            \
    X(bReceiveBarcode) X(Inet_NtoA) X(Inet_Addr) X(CloseTerminal) X(bSendProdPriceQV62K)          \
    X(bSendProdNotFound) X(GetConfigurationNew) X(SendConfiguration)

#ifdef __cplusplus
}

/* The thirteen functions as a table of pointers, filled by a loader or by a test's fakes. */
struct LurmaFunctions {
#define PQTLURMA_POINTER(name) decltype(&::name) name = nullptr;
    PQTLURMA_FUNCTIONS(PQTLURMA_POINTER)
#undef PQTLURMA_POINTER
};
#endif

#endif
