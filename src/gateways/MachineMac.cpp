#include "gateways/Machine.h"

// Misspelt as the Mac plug-in has always sent it: Payflow's records of the plug-in's
// transactions carry this name.
const char* OperatingSystemName() {
    return "Max OS X";
}
