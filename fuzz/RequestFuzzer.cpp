// The parameter text a solution hands over, turned into the portal's request by the real
// transaction flow: no crash, no leak, no control byte on the wire.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host hands over a zero-terminated text: what follows a zero byte never arrives.
    const std::string parameters(reinterpret_cast<const char*>(data), size);
    RunTransaction(PGV_FUZZ_PORTAL, parameters.c_str(), "");
    return 0;
}
