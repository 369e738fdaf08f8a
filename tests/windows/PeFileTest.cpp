// The Windows plug-ins as Windows and FileMaker see them: the version resource, and the export
// and import tables. The builds are cross-compiled beside the Linux one; this test reads the
// files themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct SPlugin {
    const char* path;
    const char* objdump;
    uint16_t optionalMagic;  // 0x10B for 32-bit files, 0x20B for 64-bit ones
};

const SPlugin kPlugins[] = {
    {PGV_WIN64_BIN "/Brenmar.fmx64", "x86_64-w64-mingw32-objdump", 0x20B},
    {PGV_WIN32_BIN "/Brenmar.fmx", "i686-w64-mingw32-objdump", 0x10B},
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

uint32_t Read16(const std::string& b, size_t at) {
    return static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8;
}

uint32_t Read32(const std::string& b, size_t at) {
    return Read16(b, at) | Read16(b, at + 2) << 16;
}

// A small PE reader: just enough to find the version resource.
class CPeFile {
public:
    explicit CPeFile(std::string bytes) : m_Bytes(std::move(bytes)) {
        const size_t pe = Read32(m_Bytes, 0x3C);
        if (m_Bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
            throw std::runtime_error("not a PE file");
        }
        const size_t optional = pe + 24;
        m_Magic = static_cast<uint16_t>(Read16(m_Bytes, optional));
        const size_t directories = optional + (m_Magic == 0x20B ? 112 : 96);
        m_ResourceRva = Read32(m_Bytes, directories + 2 * 8);
        const size_t sections = optional + Read16(m_Bytes, pe + 20);
        for (uint32_t i = 0; i < Read16(m_Bytes, pe + 6); ++i) {
            const size_t row = sections + i * 40;
            m_Sections.push_back(
                {Read32(m_Bytes, row + 12), Read32(m_Bytes, row + 8), Read32(m_Bytes, row + 20)});
        }
    }

    uint16_t Magic() const { return m_Magic; }

    // The bytes of resource type/name (first language).
    std::string Resource(uint32_t type, uint32_t name) const {
        const size_t root = Offset(m_ResourceRva);
        size_t entry = Find(root, type);
        entry = Find(root + (entry & 0x7FFFFFFF), name);
        entry = Read32(m_Bytes, root + (entry & 0x7FFFFFFF) + 16 + 4);
        const size_t data = root + entry;
        return m_Bytes.substr(Offset(Read32(m_Bytes, data)), Read32(m_Bytes, data + 4));
    }

private:
    struct SSection {
        uint32_t rva;
        uint32_t size;
        uint32_t fileOffset;
    };

    size_t Offset(uint32_t rva) const {
        for (const SSection& section : m_Sections) {
            if (rva >= section.rva && rva < section.rva + section.size) {
                return rva - section.rva + section.fileOffset;
            }
        }
        throw std::runtime_error("address outside every section");
    }

    // The entry for `id` in the resource directory at `directory`.
    uint32_t Find(size_t directory, uint32_t id) const {
        const uint32_t count = Read16(m_Bytes, directory + 12) + Read16(m_Bytes, directory + 14);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t entry = directory + 16 + i * 8;
            if (Read32(m_Bytes, entry) == id) {
                return Read32(m_Bytes, entry + 4);
            }
        }
        throw std::runtime_error("resource not found");
    }

    std::string m_Bytes;
    uint16_t m_Magic = 0;
    uint32_t m_ResourceRva = 0;
    std::vector<SSection> m_Sections;
};

std::string Utf16At(const std::string& b, size_t at, size_t* end = nullptr) {
    std::string text;
    size_t i = at;
    for (; Read16(b, i) != 0; i += 2) {
        text += static_cast<char>(Read16(b, i));
    }
    if (end != nullptr) {
        *end = i + 2;
    }
    return text;
}

size_t Aligned(size_t at) {
    return (at + 3) & ~size_t{3};
}

// Every String of the VS_VERSIONINFO block: key to value, whatever table holds it.
void CollectStrings(const std::string& b, size_t at, size_t end,
                    std::map<std::string, std::string>& strings) {
    while (at + 6 < end) {
        const size_t length = Read16(b, at);
        if (length == 0) {
            break;
        }
        const size_t valueLength = Read16(b, at + 2);
        size_t keyEnd = 0;
        const std::string key = Utf16At(b, at + 6, &keyEnd);
        const size_t value = Aligned(keyEnd);
        if (key == "StringFileInfo" || (key.size() == 8 && valueLength == 0)) {
            CollectStrings(b, value, at + length, strings);
        } else if (Read16(b, at + 4) == 1 && valueLength > 0) {
            strings[key] = Utf16At(b, value);
        }
        at = Aligned(at + length);
    }
}

TEST(WindowsPlugin, VersionResource) {
    for (const SPlugin& plugin : kPlugins) {
        SCOPED_TRACE(plugin.path);
        const CPeFile file(ReadFile(plugin.path));
        EXPECT_EQ(file.Magic(), plugin.optionalMagic);
        const std::string version = file.Resource(16, 1);
        size_t keyEnd = 0;
        ASSERT_EQ(Utf16At(version, 6, &keyEnd), "VS_VERSION_INFO");
        const size_t fixed = Aligned(keyEnd);
        ASSERT_EQ(Read32(version, fixed), 0xFEEF04BDu);
        EXPECT_EQ(Read32(version, fixed + 8), 0x00050002u) << "file version 5.2";
        EXPECT_EQ(Read32(version, fixed + 12), 0x00000000u) << "file version .0.0";
        EXPECT_EQ(Read32(version, fixed + 16), 0x00050002u) << "product version 5.2";
        EXPECT_EQ(Read32(version, fixed + 20), 0x00000000u);

        std::map<std::string, std::string> strings;
        CollectStrings(version, Aligned(fixed + Read16(version, 2)), version.size(), strings);
        EXPECT_EQ(strings["CompanyName"], "Tenvale");
        EXPECT_EQ(strings["ProductName"], "Paygrove Plug-In");
        EXPECT_EQ(strings["FileDescription"], "Paygrove plugin for Filemaker");
        EXPECT_EQ(strings["InternalName"], "Quilla");
        EXPECT_EQ(strings["OriginalFilename"], "Brenmar.fmx");
        EXPECT_EQ(strings["FileVersion"], "5.2.0.0");
        EXPECT_EQ(strings["ProductVersion"], "5.2.0.0");
    }
}

TEST(WindowsPlugin, ExportsTheEntryPointAndImportsOnlySystemLibraries) {
    for (const SPlugin& plugin : kPlugins) {
        SCOPED_TRACE(plugin.path);
        const std::string listing = std::string(::testing::TempDir()) + "pe-listing.txt";
        const std::string command =
            std::string(plugin.objdump) + " -p '" + plugin.path + "' > '" + listing + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::istringstream lines(ReadFile(listing));
        std::vector<std::string> imports;
        std::vector<std::string> exports;
        bool inExports = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("\tDLL Name: ", 0) == 0) {
                imports.push_back(line.substr(11));
            } else if (line.find("[Ordinal/Name Pointer] Table") != std::string::npos) {
                inExports = true;
            } else if (inExports && line.find("] ") != std::string::npos) {
                exports.push_back(line.substr(line.find("] ") + 2));
            } else {
                inExports = false;
            }
        }
        EXPECT_EQ(exports, std::vector<std::string>{"FMExternCallProc"});
        for (std::string& name : imports) {
            for (char& c : name) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        std::sort(imports.begin(), imports.end());
        EXPECT_EQ(imports, (std::vector<std::string>{"FMWRAPPER.DLL", "KERNEL32.DLL", "MSVCRT.DLL",
                                                     "WININET.DLL", "WS2_32.DLL"}));
    }
}

}  // namespace
