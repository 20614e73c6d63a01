#include "cli/Commands.h"

namespace {
int g_exitStatus = 0;
}

void SetExitStatus(int status) {
    g_exitStatus = status;
}
int ExitStatus() {
    return g_exitStatus;
}
