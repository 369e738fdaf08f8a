// Loads the plug-in beside it the way FileMaker does and talks to it through nothing of the
// plug-in's own declarations: the call block is written byte by byte at the offsets the host
// lays it out at, and the registered functions are called through a function type declared here,
// in the host's calling convention. A plug-in built against a wrong idea of the host fails here
// even when fmhost, built from the same header as the plug-in, agrees with it.
//
// Prints one line per check and "N passed, N failed"; exits 1 when a check failed.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "FMWrapper/FMHost.h"
#include "PluginLibrary.h"

namespace {

// Byte offsets of the fields the host writes or reads, and the block's size.
struct SCallBlockLayout {
    size_t unusedId;
    size_t unusedIdWidth;
    size_t entryPoint;
    size_t whichCall;
    size_t parm1;
    size_t parm2;
    size_t parm3;
    size_t instanceId;
    size_t result;
    size_t size;
};

#if defined(_WIN64)
constexpr SCallBlockLayout kLayout = {2, 2, 4, 13, 15, 16, 24, 32, 40, 72};
#elif defined(_WIN32)
constexpr SCallBlockLayout kLayout = {2, 2, 4, 9, 11, 12, 16, 20, 24, 80};
#else
constexpr SCallBlockLayout kLayout = {2, 4, 6, 15, 17, 18, 26, 34, 42, 74};
#endif

constexpr unsigned kInit = 0, kShutdown = 4, kGetString = 7, kSessionShutdown = 8,
                   kFileShutdown = 9, kUnknownMessage = 200;
constexpr uint64_t kUntouched = 0x5A5A5A5A;
constexpr char16_t kHostVersion[] = u"Pro 21.0v1";

#if defined(_WIN32) && !defined(_WIN64)
// Calls `function` with `count` 32-bit arguments pushed right to left, and stores how far the
// call itself moved the stack pointer: 0 when the function popped its arguments (__stdcall),
// -4 * count when it left them to the caller (cdecl).
extern "C" __attribute__((naked)) uint32_t CallCountingStack(void* /*function*/,
                                                             const uint32_t* /*args*/,
                                                             uint32_t /*count*/,
                                                             int32_t* /*moved*/) {
    __asm__(
        "pushl %ebp\n"
        "movl %esp, %ebp\n"
        "pushl %esi\n"
        "pushl %edi\n"
        "movl %esp, %esi\n"
        "movl 16(%ebp), %ecx\n"
        "movl 12(%ebp), %edx\n"
        "1:\n"
        "testl %ecx, %ecx\n"
        "jz 2f\n"
        "decl %ecx\n"
        "pushl (%edx,%ecx,4)\n"
        "jmp 1b\n"
        "2:\n"
        "call *8(%ebp)\n"
        "movl %esp, %edi\n"
        "subl %esi, %edi\n"
        "movl %esi, %esp\n"
        "movl 20(%ebp), %ecx\n"
        "movl %edi, (%ecx)\n"
        "popl %edi\n"
        "popl %esi\n"
        "popl %ebp\n"
        "ret\n");
}
#endif

class CChecks {
public:
    void Check(bool ok, const std::string& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
        ++(ok ? m_Passed : m_Failed);
    }
    int Finish() const {
        std::printf("%d passed, %d failed\n", m_Passed, m_Failed);
        return m_Failed == 0 ? 0 : 1;
    }

private:
    int m_Passed = 0;
    int m_Failed = 0;
};

CChecks g_Checks;

class CCallBlock {
public:
    explicit CCallBlock(unsigned message, void* entryPoint, void* instance)
        : m_Bytes(kLayout.size, 0) {
        Put(0, 2, 57);
        Put(kLayout.unusedId, kLayout.unusedIdWidth, ~uint64_t{0});
        Put(kLayout.entryPoint, sizeof(void*), reinterpret_cast<uintptr_t>(entryPoint));
        Put(kLayout.whichCall, 1, message);
        Put(kLayout.instanceId, sizeof(void*), reinterpret_cast<uintptr_t>(instance));
        Put(kLayout.result, sizeof(void*), kUntouched);
    }

    void Parm1(unsigned value) { Put(kLayout.parm1, 1, value); }
    void Parm2(uint64_t value) { Put(kLayout.parm2, sizeof(void*), value); }
    void Parm3(uint64_t value) { Put(kLayout.parm3, sizeof(void*), value); }
    void Result(uint64_t value) { Put(kLayout.result, sizeof(void*), value); }
    // The result as the signed number a start-up answer is.
    int64_t Result() const {
        uint64_t value = 0;
        std::memcpy(&value, &m_Bytes[kLayout.result], sizeof(void*));
        return sizeof(void*) == 4 ? int64_t{static_cast<int32_t>(value)}
                                  : static_cast<int64_t>(value);
    }
    void* Data() { return m_Bytes.data(); }

private:
    // Little-endian, as every platform the plug-in ships on.
    void Put(size_t offset, size_t width, uint64_t value) {
        std::memcpy(&m_Bytes[offset], &value, width);
    }

    std::vector<unsigned char> m_Bytes;
};

class CLoadedPlugin {
public:
    explicit CLoadedPlugin(const std::string& path) : m_Library(path) {
        m_Entry = reinterpret_cast<void*>(m_Library.Find("FMExternCallProc"));
    }

    bool HasEntryPoint() const { return m_Entry != nullptr; }

    void Send(CCallBlock& block, const std::string& what) {
        void* data = block.Data();
#if defined(_WIN32) && !defined(_WIN64)
        const uint32_t args[] = {reinterpret_cast<uint32_t>(data)};
        int32_t moved = 0;
        CallCountingStack(m_Entry, args, 1, &moved);
        g_Checks.Check(moved == -4, what + ": the entry point leaves its argument to the caller");
#else
        static_cast<void>(what);
        reinterpret_cast<void (*)(void*)>(m_Entry)(data);
#endif
    }

    CCallBlock Block(unsigned message) {
        return CCallBlock(message, m_Entry, m_Library.InstanceId());
    }

private:
    fmhost::PluginLibrary m_Library;
    void* m_Entry = nullptr;
};

// Calls a registered function as the calculation engine does and returns its 16-bit error code;
// `text` receives the result's text.
int16_t CallFunction(const char* name, const std::vector<const char*>& args, std::string& text) {
    FMHost_Registration row{};
    if (!FMHost_FindFunction(name, &row)) {
        g_Checks.Check(false, std::string(name) + " is registered");
        return -1;
    }
    FMX_DataVect* parms = FMHost_DataVect_New();
    FMX_Data* result = FMHost_Data_New();
    for (const char* arg : args) {
        FMHost_DataVect_AppendText(parms, arg);
    }
    void* function = reinterpret_cast<void*>(row.handler);
#if defined(_WIN32) && !defined(_WIN64)
    const uint32_t words[] = {static_cast<uint32_t>(row.functionId), 0,
                              reinterpret_cast<uint32_t>(parms),
                              reinterpret_cast<uint32_t>(result)};
    int32_t moved = 0;
    const auto error = static_cast<int16_t>(CallCountingStack(function, words, 4, &moved));
    g_Checks.Check(moved == 0, std::string(name) + " pops its own arguments");
#else
    using HostFunction = int16_t (*)(int16_t, const void*, const void*, void*);
    const int16_t error =
        reinterpret_cast<HostFunction>(function)(row.functionId, nullptr, parms, result);
#endif
    text.assign(FMHost_Data_GetText(result, nullptr, 0) + 1, '\0');
    text.resize(FMHost_Data_GetText(result, text.data(), text.size()));
    FMHost_Data_Delete(result);
    FMHost_DataVect_Delete(parms);
    return error;
}

// Starts the plug-in as an application of `kind` and returns its answer.
int64_t Start(CLoadedPlugin& plugin, unsigned kind) {
    CCallBlock init = plugin.Block(kInit);
    init.Parm1(kind);
    init.Parm2(reinterpret_cast<uintptr_t>(kHostVersion));
    plugin.Send(init, "start-up as kind " + std::to_string(kind));
    return init.Result();
}

void ShutDown(CLoadedPlugin& plugin) {
    CCallBlock shutdown = plugin.Block(kShutdown);
    plugin.Send(shutdown, "shut-down");
}

// The text a string request left in a buffer of 64 units, or "(untouched)".
std::string AskString(CLoadedPlugin& plugin, unsigned id, uint64_t size, bool withBuffer) {
    std::vector<uint16_t> buffer(64, 0xAAAA);
    CCallBlock block = plugin.Block(kGetString);
    block.Parm1(id);
    // The host's language in parm2; a plug-in that took it for the size would overrun.
    block.Parm2(1033);
    block.Parm3(size);
    block.Result(withBuffer ? reinterpret_cast<uintptr_t>(buffer.data()) : 0);
    plugin.Send(block, "string " + std::to_string(id));
    if (buffer[0] == 0xAAAA) {
        return "(untouched)";
    }
    std::string text;
    for (size_t i = 0; i < buffer.size() && buffer[i] != 0; ++i) {
        text += static_cast<char>(buffer[i]);
    }
    return text;
}

void Run(const std::string& path) {
    CLoadedPlugin plugin(path);
    g_Checks.Check(plugin.HasEntryPoint(), "FMExternCallProc is exported");
    if (!plugin.HasEntryPoint()) {
        return;
    }

    const uint32_t callsBefore = FMHost_CheckedCallCount();
    // Every application kind the host's SDK names, and one it does not: only the desktop
    // application (the developer edition, FileMaker Pro and a runtime solution) starts it.
    const struct {
        unsigned kind;
        int64_t answer;
    } kinds[] = {{0, 51}, {1, 51}, {2, 51}, {3, -2},  {4, -2},  {5, -2},  {6, -2},
                 {7, -2}, {8, -2}, {9, -2}, {11, -2}, {99, -2}, {200, -2}};
    for (const auto& k : kinds) {
        const int64_t answer = Start(plugin, k.kind);
        const uint32_t registered = FMHost_RegisteredCount();
        g_Checks.Check(answer == k.answer && registered == (k.answer == 51 ? 6u : 0u),
                       "start-up as kind " + std::to_string(k.kind) + " answers " +
                           std::to_string(answer) + ", " + std::to_string(registered) +
                           " functions registered");
        ShutDown(plugin);
    }

    const int64_t answer = Start(plugin, 1);  // FileMaker Pro
    g_Checks.Check(answer == 51 && FMHost_RegisteredCount() == 6,
                   "start-up as FileMaker Pro again answers " + std::to_string(answer));

    const struct {
        unsigned id;
        uint64_t size;
        bool withBuffer;
        const char* expected;
    } strings[] = {
        {128, 64, true, "Tenvale - Paygrove"},
        {131, 12, true, "Zkqx1YnYnnn"},  // exactly the text and its zero
        {131, 11, true, "(untouched)"},  // one short
        {131, 0, true, "(untouched)"},
        {131, 64, false, "(untouched)"},
        {130, 64, true, ""},  // an id without a text
        {132, 1, true, ""},
        {130, 0, true, "(untouched)"},
    };
    for (const auto& s : strings) {
        const std::string text = AskString(plugin, s.id, s.size, s.withBuffer);
        g_Checks.Check(text == s.expected, "string " + std::to_string(s.id) + " in " +
                                               std::to_string(s.size) + " units" +
                                               (s.withBuffer ? "" : ", no buffer") + ": " + text);
    }

    const struct {
        const char* function;
        std::vector<const char*> args;
        int16_t error;
        const char* result;
    } calls[] = {
        {"PGV_Version", {}, 0, "Paygrove 5.1"},
        {"PGV_BeginTransaction", {}, 1, ""},  // no portal yet
        {"PGV_SendTransaction", {}, 10000, ""},
        {"PGV_SelectPortal", {"AUTHNET"}, 0, ""},
        {"PGV_SetParameters", {"x_amount=1.00"}, 0, ""},
        {"PGV_GetResult", {"x_amount"}, 0, "1.00"},
    };
    for (const auto& c : calls) {
        std::string text;
        const int16_t error = CallFunction(c.function, c.args, text);
        g_Checks.Check(error == c.error && text == c.result,
                       std::string(c.function) + " answers error " + std::to_string(error) +
                           ", \"" + text + "\"");
    }

    for (const unsigned message : {kSessionShutdown, kFileShutdown, kUnknownMessage}) {
        CCallBlock block = plugin.Block(message);
        block.Parm2(1);
        plugin.Send(block, "message " + std::to_string(message));
        g_Checks.Check(static_cast<uint64_t>(block.Result()) == kUntouched,
                       "message " + std::to_string(message) + " leaves the result alone");
    }

    ShutDown(plugin);
    g_Checks.Check(FMHost_RegisteredCount() == 0, "shut-down unregisters every function");
    // A record of any other version would have stopped the process on the spot.
    const uint32_t hostCalls = FMHost_CheckedCallCount() - callsBefore;
    g_Checks.Check(hostCalls > 0, "each of the plug-in's " + std::to_string(hostCalls) +
                                      " host calls carried an error record of version 1");
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Run(argc > 1 ? argv[1] : fmhost::DefaultPluginPath());
    } catch (const std::exception& failure) {
        g_Checks.Check(false, failure.what());
    }
    return g_Checks.Finish();
}
