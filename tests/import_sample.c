// A program with a known import list, for the reader of import tables (check-executable): two
// kernel32 functions by name, and one function of ordinals.dll by its ordinal alone.
#include <windows.h>
DWORD WINAPI Ordinal42(void);
void start(void) { ExitProcess(GetTickCount() + Ordinal42()); }
