#include "exchange/SandboxLog.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pgvbench {

namespace {

// Each entry is "@@ request N\n", the N raw bytes, "\n".
constexpr char kEntryStart[] = "@@ request ";

}  // namespace

std::uintmax_t SandboxLogEnd(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        throw std::runtime_error("cannot read the sandbox's request log " + path);
    }
    return size;
}

std::vector<std::string> SandboxRequestsSince(const std::string& path, std::uintmax_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> requests;
    size_t position = 0;
    while (position < text.size()) {
        const size_t lineEnd = text.find('\n', position);
        if (text.compare(position, sizeof kEntryStart - 1, kEntryStart) != 0 ||
            lineEnd == std::string::npos) {
            throw std::runtime_error("the sandbox's request log is not as it writes it");
        }
        const size_t start = position + sizeof kEntryStart - 1;
        const size_t size = std::stoul(text.substr(start, lineEnd - start));
        requests.push_back(text.substr(lineEnd + 1, size));
        position = lineEnd + 1 + size + 1;
    }
    return requests;
}

}  // namespace pgvbench
