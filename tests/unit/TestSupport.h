// Helpers shared by the unit tests: a scratch folder, file reading, a minimal gateway.
#ifndef PAYGROVE_TESTS_UNIT_TESTSUPPORT_H
#define PAYGROVE_TESTS_UNIT_TESTSUPPORT_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "gateway/AuthBase.h"

namespace pgvtest {

// A fresh folder that disappears with everything in it, however the test ends.
class CTempDir {
public:
    CTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pgv-unit-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder");
        }
        m_Path = pattern;
    }
    ~CTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The base class's own answer handling, seen through three comma-separated fields.
class CFieldsGateway : public CAuthBase {
public:
    const char* const* GetResponseFieldOrder() override {
        static const char* const kNames[] = {"x", "y", "z", nullptr};
        return kNames;
    }
    char GetDelimiter() override { return ','; }
    const char* GetURL() override { return nullptr; }
    int GetRequestFlags() override { return 0; }
};

}  // namespace pgvtest

#endif
