// The machine the gateways are handed: this build's name for its system, and the address read
// from the network interfaces each time a gateway asks.
#include "platform/OsServices.h"
#include "platform/Platform.h"

namespace {

class CPlatformMachine : public IMachine {
public:
    std::string OperatingSystemName() const override { return ::OperatingSystemName(); }
    std::string IPv4Address() const override { return LocalIPv4Address(); }
};

}  // namespace

std::shared_ptr<const IMachine> CreatePlatformMachine() {
    return std::make_shared<CPlatformMachine>();
}
