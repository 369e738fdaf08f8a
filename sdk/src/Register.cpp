// The register table: the external functions plug-ins have told the calculation engine about.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "FMWrapper/FMHost.h"
#include "Objects.h"
#include "Utf.h"

using fmwrapper::CheckCall;
using fmwrapper::Guarded;
using fmwrapper::Report;

namespace {

struct Row {
    std::array<char, 4> pluginId;
    int16_t functionId;
    int16_t minArgs;
    int16_t maxArgs;
    uint32_t flags;
    FMX_ExternalFunction handler;
    std::u16string name;
    std::u16string prototype;
};

std::vector<Row>& Table() {
    static std::vector<Row> rows;
    return rows;
}

FMX_ErrorCode& Refusal() {
    static FMX_ErrorCode code = kFMX_ErrNone;
    return code;
}

std::array<char, 4> IdOf(const FMX_QuadChar& quad) {
    return {quad.chars[0], quad.chars[1], quad.chars[2], quad.chars[3]};
}

std::vector<Row>::iterator FindRow(const FMX_QuadChar& pluginId, int16_t functionId) {
    return std::find_if(Table().begin(), Table().end(), [&](const Row& row) {
        return row.pluginId == IdOf(pluginId) && row.functionId == functionId;
    });
}

template <std::size_t N>
void CopyCut(const std::u16string& units, char (&out)[N]) {
    out[fmwrapper::EncodeUtf8(units, out, N - 1)] = '\0';
}

void Fill(const Row& row, FMHost_Registration* out) {
    std::memcpy(out->pluginId, row.pluginId.data(), row.pluginId.size());
    out->pluginId[row.pluginId.size()] = '\0';
    out->functionId = row.functionId;
    out->minArgs = row.minArgs;
    out->maxArgs = row.maxArgs;
    out->flags = row.flags;
    out->handler = row.handler;
    CopyCut(row.name, out->name);
    CopyCut(row.prototype, out->prototype);
}

char16_t FoldAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t l, char16_t r) { return FoldAscii(l) == FoldAscii(r); });
}

}  // namespace

FMX_ErrorCode FM_ExprEnv_RegisterExternalFunction(const FMX_QuadChar* pluginId, int16_t functionId,
                                                  const FMX_Text* name, const FMX_Text* prototype,
                                                  int16_t minArgs, int16_t maxArgs,
                                                  uint32_t compatibleFlags,
                                                  FMX_ExternalFunction handler, FMX_Except* x) {
    CheckCall(__func__, x, {{"plug-in id", pluginId}, {"name", name}, {"prototype", prototype}});
    const FMX_ErrorCode code = Guarded(x, FMX_ErrorCode{kFMX_ErrOutOfMemory}, [&] {
        const bool anyNumber = maxArgs == kFMHost_AnyNumberOfArgs;
        if (handler == nullptr || name->units.empty() || minArgs < 0 ||
            (!anyNumber && maxArgs < minArgs)) {
            return FMX_ErrorCode{kFMX_ErrUnknown};
        }
        if (Refusal() != kFMX_ErrNone) {
            return Refusal();
        }
        // Built in full before the table changes, so running out of memory leaves it as it was.
        Row row{IdOf(*pluginId), functionId, minArgs,     maxArgs,
                compatibleFlags, handler,    name->units, prototype->units};
        const auto existing = FindRow(*pluginId, functionId);
        if (existing != Table().end()) {
            *existing = std::move(row);
        } else {
            Table().push_back(std::move(row));
        }
        return FMX_ErrorCode{kFMX_ErrNone};
    });
    Report(x, code);
    return code;
}

FMX_ErrorCode FM_ExprEnv_UnRegisterExternalFunction(const FMX_QuadChar* pluginId,
                                                    int16_t functionId, FMX_Except* x) {
    CheckCall(__func__, x, {{"plug-in id", pluginId}});
    return Guarded(x, FMX_ErrorCode{kFMX_ErrOutOfMemory}, [&] {
        const auto existing = FindRow(*pluginId, functionId);
        if (existing == Table().end()) {
            return FMX_ErrorCode{kFMX_ErrUnknown};
        }
        Table().erase(existing);
        return FMX_ErrorCode{kFMX_ErrNone};
    });
}

uint32_t FMHost_RegisteredCount(void) {
    return static_cast<uint32_t>(Table().size());
}

int FMHost_RegisteredAt(uint32_t index, FMHost_Registration* out) {
    if (out == nullptr || index >= Table().size()) {
        return 0;
    }
    Fill(Table()[index], out);
    return 1;
}

int FMHost_FindFunction(const char* utf8Name, FMHost_Registration* out) {
    if (utf8Name == nullptr || out == nullptr) {
        return 0;
    }
    return Guarded(nullptr, 0, [&] {
        const std::u16string wanted = fmwrapper::DecodeUtf8(utf8Name);
        const auto found = std::find_if(Table().begin(), Table().end(),
                                        [&](const Row& row) { return SameName(row.name, wanted); });
        if (found == Table().end()) {
            return 0;
        }
        Fill(*found, out);
        return 1;
    });
}

void FMHost_ClearRegistrations(void) {
    Table().clear();
}

void FMHost_RefuseRegistrations(FMX_ErrorCode code) {
    Refusal() = code;
}
