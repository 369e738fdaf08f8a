// What a gateway may tell its portal about the machine it runs on. The platform hands it in, as
// it hands in the exchange, so that protocol code never reads the machine for itself and a test
// can give it the facts it wants.
#ifndef PAYGROVE_GATEWAY_MACHINE_H
#define PAYGROVE_GATEWAY_MACHINE_H

#include <string>

class IMachine {
public:
    virtual ~IMachine() = default;
    // The operating system's name as the Payflow gateway is told it.
    virtual std::string OperatingSystemName() const = 0;
    // The machine's IPv4 address in dotted-decimal form, read when asked, as an address can
    // change while FileMaker runs; empty when the machine has none.
    virtual std::string IPv4Address() const = 0;
};

#endif
