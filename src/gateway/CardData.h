// What counts as card data or a credential among a transaction's parameters, and how it is
// shown in the transaction log instead.
#ifndef PAYGROVE_GATEWAY_CARDDATA_H
#define PAYGROVE_GATEWAY_CARDDATA_H

#include <map>
#include <string>

#include "log/CardNumbers.h"
#include "log/LogMask.h"

// A secret this long or longer is masked wherever it stands in a line; a shorter one only as its
// parameter's value, since three digits of a security code also occur in amounts and ids.
inline constexpr size_t kMinAnywhereSecret = 6;

// A parameter whose name says it carries a card number, security code, track data or a secret:
// a name holding one of the common name parts, or one of `gatewayNames` (a null-terminated list,
// may be null) as a whole word, so that a gateway's short names (Payflow's SS) do not catch
// longer ones (ADDRESS).
bool IsSecretParameterName(const std::string& name, const char* const* gatewayNames = nullptr);

// The mask for a transaction's log: every secret value, as it stands and escaped, and the names
// it may stand under, raw and escaped.
CLogMask BuildLogMask(const std::map<std::string, std::string>& params,
                      const char* const* gatewayNames);

#endif
