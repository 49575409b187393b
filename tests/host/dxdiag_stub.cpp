// A stand-in for the diagnostics tool: records its process id in the working folder
// and ends at once, so a test can tell when the tool's process object is gone.
#include <windows.h>

#include <stdio.h>

int main() {
    FILE* out = fopen("dxdiag_pid.txt", "w");
    if (out == nullptr) {
        return 1;
    }
    fprintf(out, "%lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
    fclose(out);
    return 0;
}
