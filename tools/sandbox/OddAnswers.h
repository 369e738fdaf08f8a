// Deliberately broken or unusual answers for the transport's edge cases, chosen by the request
// path alone. They are written byte for byte, so framing errors that no sane server library would
// produce are possible.
#ifndef PAYGROVE_SANDBOX_ODDANSWERS_H
#define PAYGROVE_SANDBOX_ODDANSWERS_H

#include <chrono>
#include <ctime>
#include <string>

#include "sandbox/Http.h"

namespace pgv::sandbox {

// Which certificate the rotating listeners present to the connections after an answer.
enum class ECertificateSwitch { None, Rotated, Original };

struct SOddAnswer {
    std::string bytes;    // sent at once
    std::string trickle;  // then one byte per trickleEvery
    std::chrono::milliseconds trickleEvery{0};
    // then the connection stays open until the peer closes it or this passes
    std::chrono::milliseconds holdOpen{0};
    // then the connection is reset instead of closed
    bool reset = false;
    // made before the answer is sent, so that the client's next connection meets it
    ECertificateSwitch certificate = ECertificateSwitch::None;
};

SOddAnswer OddAnswer(const SHttpRequest& request, std::time_t now);

}  // namespace pgv::sandbox

#endif
