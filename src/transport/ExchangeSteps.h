// The steps both lines of the exchange take alike: the fixed failure texts, reading the answer
// and closing up. Each line's file holds only the steps in which it differs.
#ifndef PAYGROVE_TRANSPORT_EXCHANGESTEPS_H
#define PAYGROVE_TRANSPORT_EXCHANGESTEPS_H

#include <functional>
#include <optional>
#include <string>

#include "log/Log.h"
#include "transport/HttpSession.h"

inline constexpr char kInvalidUrl[] = "Invalid URL";
inline constexpr char kConnectFailed[] = "System failed connect";

bool IsHttps(const std::string& scheme);

// After the request is sent: the status (200 and 206 only), the announced length, then the body
// up to that length. Returns the failure text, empty on success.
std::string ReceiveAnswer(CHttpAnswer& session, Log& log, std::string& body);

// The request's steps return the failure text, empty on success, and may open a log indent
// that lasts until the session is closed. Logs the failure, closes the session, and leaves the
// body or the failure text in `response`. Never throws.
using ExchangeSteps = std::function<std::string(std::optional<CLogIndent>&, std::string&)>;
bool RunSteps(CHttpAnswer& session, Log& log, std::string& response, const ExchangeSteps& steps);

#endif
