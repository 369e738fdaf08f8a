// The sandbox's request log, read to make sure every client sent the same bytes.
#ifndef PAYGROVE_BENCH_EXCHANGE_SANDBOXLOG_H
#define PAYGROVE_BENCH_EXCHANGE_SANDBOXLOG_H

#include <cstdint>
#include <string>
#include <vector>

namespace pgvbench {

// The log's size now: where the requests of the next run begin.
std::uintmax_t SandboxLogEnd(const std::string& path);

// The raw requests logged from `offset` on, oldest first; throws std::runtime_error when the log
// cannot be read there.
std::vector<std::string> SandboxRequestsSince(const std::string& path, std::uintmax_t offset);

}  // namespace pgvbench

#endif
