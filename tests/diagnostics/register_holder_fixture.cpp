#include "variable_dump_fixture.h"

__attribute__((noinline)) int RegisterHolder(int seed) {
    // Lives in a callee-saved register across the call.
    int kept = OpaqueNumber(seed);
    WalkFromCaller();
    return kept * seed;
}
