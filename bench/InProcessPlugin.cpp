#include "InProcessPlugin.h"

#include <memory>
#include <new>
#include <stdexcept>

extern "C" void FMExternCallProc(FMX_ExternCallPtr pb);

namespace pgvbench {

namespace {

constexpr int16_t kInterfaceVersion = 57;
constexpr intptr_t kStarted = 51;

struct SDataVectDeleter {
    void operator()(FMX_DataVect* vect) const { FMHost_DataVect_Delete(vect); }
};
struct SDataDeleter {
    void operator()(FMX_Data* data) const { FMHost_Data_Delete(data); }
};

intptr_t Send(uint8_t message, uint8_t parm1 = 0) {
    FMX_ExternCallStruct block{};
    block.extnVersion = kInterfaceVersion;
    block.unusedID = -1;
    block.whichCall = message;
    block.parm1 = parm1;
    FMExternCallProc(&block);
    return static_cast<intptr_t>(block.result);
}

}  // namespace

CInProcessPlugin::CInProcessPlugin() {
    if (Send(kFMXT_Init, kFMXT_Developer) != kStarted) {
        Send(kFMXT_Shutdown);
        throw std::runtime_error("the plug-in refused to start");
    }
}

CInProcessPlugin::~CInProcessPlugin() {
    Send(kFMXT_Shutdown);
}

FMHost_Registration CInProcessPlugin::Function(const char* name) const {
    FMHost_Registration row{};
    if (!FMHost_FindFunction(name, &row)) {
        throw std::runtime_error(std::string("the plug-in registered no ") + name);
    }
    return row;
}

std::optional<std::string> CInProcessPlugin::Call(const FMHost_Registration& function,
                                                  const std::vector<std::string>& args) const {
    const std::unique_ptr<FMX_DataVect, SDataVectDeleter> parms(FMHost_DataVect_New());
    const std::unique_ptr<FMX_Data, SDataDeleter> result(FMHost_Data_New());
    if (!parms || !result) {
        throw std::bad_alloc();
    }
    for (const std::string& arg : args) {
        if (!FMHost_DataVect_AppendText(parms.get(), arg.c_str())) {
            throw std::bad_alloc();
        }
    }
    function.handler(function.functionId, nullptr, parms.get(), result.get());
    if (!FMHost_Data_IsSet(result.get())) {
        return std::nullopt;
    }
    std::string text(FMHost_Data_GetText(result.get(), nullptr, 0) + 1, '\0');
    text.resize(FMHost_Data_GetText(result.get(), text.data(), text.size()));
    return text;
}

}  // namespace pgvbench
