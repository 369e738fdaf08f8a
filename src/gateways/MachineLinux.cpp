#include "gateways/Machine.h"

const char* OperatingSystemName() {
    return "Linux";
}
