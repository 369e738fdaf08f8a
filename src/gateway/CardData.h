// What counts as card data or a credential among a transaction's parameters, and how it is
// shown in the transaction log instead.
#ifndef PAYGROVE_GATEWAY_CARDDATA_H
#define PAYGROVE_GATEWAY_CARDDATA_H

#include <map>
#include <string>

#include "log/LogMask.h"

// A parameter whose name says it carries a card number, security code, track data or a secret.
bool IsSecretParameterName(const std::string& name);

// 13 to 19 digits, blanks or hyphens allowed between them, passing the Luhn check.
bool IsCardNumber(const std::string& value);

// A card number with every digit but the last four replaced by X; separators stay.
std::string MaskCardNumber(const std::string& value);

// The mask for a transaction's log: every secret value, raw and as the request carries it.
CLogMask BuildLogMask(const std::map<std::string, std::string>& params, bool escaped);

#endif
