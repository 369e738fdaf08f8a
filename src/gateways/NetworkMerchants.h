// Network Merchants: one GET endpoint; the caller's parameters go as they are, the answer is a
// list of name=value pairs.
#ifndef PAYGROVE_GATEWAYS_NETWORKMERCHANTS_H
#define PAYGROVE_GATEWAYS_NETWORKMERCHANTS_H

#include "gateway/AuthBase.h"

class CAuthNMI : public CAuthBase {
public:
    const char* const* GetResponseFieldOrder() override;
    char GetDelimiter() override;
    const char* GetURL() override;
    int GetRequestFlags() override;
    bool ParseResults(std::string& response) override;
    const SResultTable& GetResultTable() override;
    const char* const* GetSecretParameterNames() override;
};

#endif
