/* Opens a session on a QOR ZEM-D printer, prints its status, feeds one line
 * and closes the session. Build it against the header and the platform:
 *   cc -std=c11 -I cil/include -I platform/include status_example.c \
 *      -L build/bin -lqorplatform -Wl,-rpath,build/bin -o status_example
 * Run: ./status_example "QOR ZEM-Dx10P" */
#include "qorcil.h"

#include "qor/module.h"

#include <stdio.h>

/* GetProcAddress returns a generic function pointer; each entry has its
 * PFN_ type in qorcil.h. */
#define BIND(module, name) ((PFN_##name)(void (*)(void))GetProcAddress(module, #name))

int main(int argc, char** argv) {
    const char* printer = argc > 1 ? argv[1] : "QOR ZEM-Dx10P";
    HMODULE cil = LoadLibraryA("QORCIL.DLL");
    if (!cil) {
        fprintf(stderr, "QORCIL.DLL cannot be loaded (error %u)\n", (unsigned)GetLastError());
        return 1;
    }
    PFN_OpenQorPrinterA open_printer = BIND(cil, OpenQorPrinterA);
    PFN_GetQorPrinterStatus get_status = BIND(cil, GetQorPrinterStatus);
    PFN_SetQorPrinterData send = BIND(cil, SetQorPrinterData);
    PFN_CloseQorPrinter close_printer = BIND(cil, CloseQorPrinter);
    if (!open_printer || !get_status || !send || !close_printer) {
        fprintf(stderr, "QORCIL.DLL lacks an entry\n");
        FreeLibrary(cil);
        return 1;
    }

    HANDLE session = NULL;
    DWORD result = open_printer(printer, &session);
    if (result != QORCIL_OK) {
        fprintf(stderr, "%s: no session (result %u)\n", printer, (unsigned)result);
        FreeLibrary(cil);
        return 1;
    }

    DWORD status = 0;
    result = get_status(session, &status, QORCIL_CURRENT);
    if (result != QORCIL_OK)
        printf("%s: no status (result %u)\n", printer, (unsigned)result);
    else if (status == QORCIL_STATUS_NO_ANSWER)
        printf("%s: does not answer\n", printer);
    else if (status & QORCIL_STATUS_PAPER_OUT)
        printf("%s: out of paper (status 0x%08x)\n", printer, (unsigned)status);
    else
        printf("%s: status 0x%08x\n", printer, (unsigned)status);

    if (result == QORCIL_OK && status == 0) {
        const BYTE line_feed[] = {0x0A};
        DWORD sent = 0;
        result = send(session, line_feed, sizeof line_feed, &sent);
        printf("line feed: result %u, %u byte sent\n", (unsigned)result, (unsigned)sent);
    }

    close_printer(session);
    FreeLibrary(cil);
    return result == QORCIL_OK ? 0 : 1;
}
