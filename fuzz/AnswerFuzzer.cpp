// Whatever the gateway answers, read by the portal's parser and the normalised reading, then
// looked up: no crash, no leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzExchange.h"

namespace {

// A transaction of the kind each portal's answers answer, so that its parser takes its usual
// path (Authorize.Net's card-present layout when the answer's first byte is odd). No transaction
// log: the log mask has a target of its own, and would take most of this one's time.
std::string Parameters(const uint8_t* data, size_t size) {
    const std::string portal = PGV_FUZZ_PORTAL;
    if (portal == "AUTHNET" && size > 0 && (data[0] & 1) != 0) {
        return "x_cpversion=1.0";
    }
    if (portal == "RXPAY") {
        return "TRANS_TYPE=AUTH_CAPTURE";
    }
    if (portal == "SAGE" && size > 0 && (data[0] & 2) != 0) {
        return "trans_type=settlement";
    }
    return "x_card_num=4111111111111111";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunTransaction(PGV_FUZZ_PORTAL, Parameters(data, size),
                   std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
