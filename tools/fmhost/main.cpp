// fmhost: plays FileMaker for a plug-in on the command line. It loads the plug-in, starts it, runs
// the calculation calls of a script through the functions the plug-in registered, prints what
// each call returned, and shuts the plug-in down again.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "CallParser.h"
#include "FMWrapper/FMHost.h"
#include "JsonWriter.h"
#include "PluginLibrary.h"

namespace {

constexpr int kExitError = 2;
constexpr int kExitRefused = 3;
// What a plug-in answers to kFMXT_Init when it agrees to run; anything else refuses.
constexpr intptr_t kInitAccepted = 51;
constexpr uint32_t kStringBufferUnits = 1024;
// What FileMaker hands a plug-in at start-up and with every string request.
constexpr char16_t kHostVersionText[] = u"Pro 21.0v1";
constexpr FMX_PtrType kEnglishUnitedStates = 1033;
constexpr FMX_UnusedId kUnusedId = -1;
constexpr uint8_t kStringIds[] = {kFMXT_NameStr, kFMXT_AppConfigStr, kFMXT_OptionsStr};
constexpr const char* kUsage =
    "usage: fmhost [--plugin PATH] [--interface-version N] [--app-kind N] [--json] [--strings] "
    "[--functions] [--every-app-kind] [--off-and-on] [SCRIPT]";

// The application kinds the host's SDK names, which --every-app-kind starts the plug-in as.
constexpr uint8_t kAppKinds[] = {kFMXT_Developer, kFMXT_Pro,    kFMXT_Runtime, kFMXT_Server,
                                 kFMXT_Web,       kFMXT_Mobile, kFMXT_XDBC,    kFMXT_SASE,
                                 kFMXT_IWP,       kFMXT_FMDAPI, kFMXT_OData,   kFMXT_Tool};

// Ends the run with exit status 2; what() is the line for standard error.
class Failure : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Complain(const std::string& message) {
    std::fprintf(stderr, "fmhost: %s\n", message.c_str());
}

struct Options {
    std::string plugin;
    std::optional<std::string> script;
    int16_t interfaceVersion = 57;
    uint8_t appKind = kFMXT_Developer;
    bool json = false;
    bool strings = false;
    bool functions = false;
    bool offAndOn = false;
    bool everyAppKind = false;
};

template <typename Int>
Int ParseNumberOption(const std::string& option, const char* text) {
    Int value{};
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end) {
        throw Failure(option + " needs a whole number from " +
                      std::to_string(std::numeric_limits<Int>::min()) + " to " +
                      std::to_string(std::numeric_limits<Int>::max()) + ", not \"" + text + "\"");
    }
    return value;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    bool pluginGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&] {
            if (i + 1 >= argc) {
                throw Failure(arg + " needs a value; " + kUsage);
            }
            return argv[++i];
        };
        if (arg == "--plugin") {
            options.plugin = value();
            pluginGiven = true;
        } else if (arg == "--interface-version") {
            options.interfaceVersion = ParseNumberOption<int16_t>(arg, value());
        } else if (arg == "--app-kind") {
            options.appKind = ParseNumberOption<uint8_t>(arg, value());
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--strings") {
            options.strings = true;
        } else if (arg == "--functions") {
            options.functions = true;
        } else if (arg == "--off-and-on") {
            options.offAndOn = true;
        } else if (arg == "--every-app-kind") {
            options.everyAppKind = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw Failure("unknown option " + arg + "; " + kUsage);
        } else if (options.script) {
            throw Failure("more than one script: " + *options.script + " and " + arg);
        } else {
            options.script = arg;
        }
    }
    if (options.strings && options.script) {
        throw Failure("--strings reads no script, but " + *options.script + " was given");
    }
    if (!pluginGiven) {
        options.plugin = fmhost::DefaultPluginPath();
    }
    return options;
}

// The script's text, read whole: a plug-in turned off and on again runs it a second time.
class Script {
public:
    explicit Script(const std::optional<std::string>& path)
        : name_(path ? *path : std::string("<stdin>")) {
        std::ifstream file;
        if (path) {
            file.open(*path, std::ios::binary);
            if (!file) {
                throw Failure("cannot open script " + *path + ": " + std::strerror(errno));
            }
        }
        std::istream& in = path ? file : std::cin;
        text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            throw Failure("cannot read script " + name_);
        }
    }

    const std::string& Text() const { return text_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string text_;
};

class Plugin {
public:
    Plugin(const std::string& path, int16_t interfaceVersion)
        : library_(path), version_(interfaceVersion) {
        proc_ = reinterpret_cast<FMX_ExternCallProc>(library_.Find("FMExternCallProc"));
        if (proc_ == nullptr) {
            throw Failure("plug-in " + path + " has no FMExternCallProc");
        }
    }

    // The plug-in's answer to start-up.
    intptr_t Start(uint8_t appKind) {
        FMX_ExternCallStruct block = Block(kFMXT_Init);
        block.parm1 = appKind;
        block.parm2 = reinterpret_cast<FMX_PtrType>(kHostVersionText);
        proc_(&block);
        return static_cast<intptr_t>(block.result);
    }

    void AskString(uint8_t id, std::vector<uint16_t>& buffer) {
        FMX_ExternCallStruct block = Block(kFMXT_GetString);
        block.parm1 = id;
        block.parm2 = kEnglishUnitedStates;
        block.parm3 = buffer.size();
        block.result = reinterpret_cast<FMX_PtrType>(buffer.data());
        proc_(&block);
    }

    void ShutDown() {
        FMX_ExternCallStruct block = Block(kFMXT_Shutdown);
        proc_(&block);
    }

private:
    FMX_ExternCallStruct Block(uint8_t message) const {
        FMX_ExternCallStruct block{};
        block.extnVersion = version_;
        block.unusedID = kUnusedId;
        block.entryPoint = proc_;
        block.whichCall = message;
        block.instanceID = reinterpret_cast<FMX_PtrType>(library_.InstanceId());
        return block;
    }

    fmhost::PluginLibrary library_;
    FMX_ExternCallProc proc_ = nullptr;
    int16_t version_;
};

std::string ArgumentRange(const FMHost_Registration& row) {
    if (row.maxArgs == kFMHost_AnyNumberOfArgs) {
        return std::to_string(row.minArgs) + " or more";
    }
    return row.minArgs == row.maxArgs
               ? std::to_string(row.minArgs)
               : std::to_string(row.minArgs) + " to " + std::to_string(row.maxArgs);
}

class Output {
public:
    // With `namingKinds`, each start-up line names the application kind the plug-in was started as.
    Output(bool json, bool namingKinds) : json_(json), namingKinds_(namingKinds) {}

    void Startup(intptr_t answer, uint8_t kind) {
        const std::optional<int> named =
            namingKinds_ ? std::optional<int>(kind) : std::optional<int>();
        if (json_) {
            Line(fmhost::JsonStartup(answer, named));
        } else {
            Line("startup" + (named ? " as kind " + std::to_string(*named) : std::string()) + ": " +
                 std::to_string(answer));
        }
    }

    void Function(const FMHost_Registration& row) {
        Line(json_ ? fmhost::JsonFunction(row.name, row.prototype, row.minArgs, row.maxArgs)
                   : "function " + std::string(row.name) + " " + fmhost::QuoteText(row.prototype) +
                         " takes " + ArgumentRange(row));
    }

    void StringAnswer(int id, const std::string& text) {
        Line(json_ ? fmhost::JsonStringAnswer(id, text) : std::to_string(id) + ": " + text);
    }

    void Call(const std::string& function, const std::vector<std::string>& args, int32_t error,
              const std::optional<std::string>& result) {
        if (json_) {
            Line(fmhost::JsonCall(function, args, error, result));
            return;
        }
        std::string line = function + "(";
        for (size_t i = 0; i < args.size(); ++i) {
            line += (i > 0 ? "; " : "") + fmhost::QuoteText(args[i]);
        }
        line += ") = " + (result ? fmhost::QuoteText(*result) : std::string("(not set)"));
        Line(line + " [error " + std::to_string(error) + "]");
    }

    void Shutdown() { Line(json_ ? fmhost::JsonShutdown() : "shutdown"); }

private:
    // Flushed at once: a test reads the lines while a slow call is still running.
    static void Line(const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    bool json_;
    bool namingKinds_;
};

struct DataVectDeleter {
    void operator()(FMX_DataVect* vect) const { FMHost_DataVect_Delete(vect); }
};
struct DataDeleter {
    void operator()(FMX_Data* data) const { FMHost_Data_Delete(data); }
};

// A parameter as the plug-in receives it: any invalid UTF-8 of the script already replaced.
std::string ParameterText(const FMX_DataVect* parms, uint32_t position) {
    FMX_Except x{};
    const FMX_Text* text = FM_DataVect_AtAsText(parms, position, &x);
    // Three bytes a unit is enough for every character: the two units of a pair make four.
    std::string bytes(size_t{FM_Text_GetSize(text, &x)} * 3 + 1, '\0');
    FM_Text_GetBytes(text, bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 0xFFFFFFFF,
                     kFMX_EncodingUTF8, &x);
    bytes.resize(std::strlen(bytes.c_str()));
    return bytes;
}

std::optional<std::string> ResultText(const FMX_Data* result) {
    if (!FMHost_Data_IsSet(result)) {
        return std::nullopt;
    }
    std::string text(FMHost_Data_GetText(result, nullptr, 0) + 1, '\0');
    text.resize(FMHost_Data_GetText(result, text.data(), text.size()));
    return text;
}

bool TakesArgumentCount(const FMHost_Registration& row, long count) {
    return count >= row.minArgs && (row.maxArgs == kFMHost_AnyNumberOfArgs || count <= row.maxArgs);
}

// Runs one call; returns what is wrong with it when it cannot be made.
std::optional<std::string> RunCall(const fmhost::ScriptLine& call, Output& out) {
    FMHost_Registration row{};
    if (!FMHost_FindFunction(call.function.c_str(), &row)) {
        return "unknown function " + call.function;
    }
    const long count = static_cast<long>(call.args.size());
    if (!TakesArgumentCount(row, count)) {
        return std::string(row.name) + " takes " + ArgumentRange(row) + " parameters, not " +
               std::to_string(count);
    }
    const std::unique_ptr<FMX_DataVect, DataVectDeleter> parms(FMHost_DataVect_New());
    const std::unique_ptr<FMX_Data, DataDeleter> result(FMHost_Data_New());
    if (!parms || !result) {
        throw std::bad_alloc();
    }
    std::vector<std::string> args;
    for (const std::string& arg : call.args) {
        if (!FMHost_DataVect_AppendTextBytes(parms.get(), arg.data(), arg.size())) {
            throw std::bad_alloc();
        }
        args.push_back(ParameterText(parms.get(), static_cast<uint32_t>(args.size())));
    }
    const FMX_ErrorCode error = row.handler(row.functionId, nullptr, parms.get(), result.get());
    out.Call(row.name, args, error, ResultText(result.get()));
    return std::nullopt;
}

void RunScript(const Script& script, Output& out) {
    std::istringstream in(script.Text());
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (number == 1 &&
            std::string_view(line).substr(0, kByteOrderMark.size()) == kByteOrderMark) {
            line.erase(0, kByteOrderMark.size());
        }
        const fmhost::ScriptLine parsed = fmhost::ParseScriptLine(line);
        std::optional<std::string> problem;
        if (parsed.kind == fmhost::ScriptLine::Kind::kError) {
            problem = parsed.error;
        } else if (parsed.kind == fmhost::ScriptLine::Kind::kCall) {
            problem = RunCall(parsed, out);
        }
        if (problem) {
            throw Failure(script.Name() + ":" + std::to_string(number) + ": " + *problem);
        }
    }
}

// The functions as the host's register holds them after start-up: names, prototypes and parameter
// counts as the plug-in handed them over.
void ListFunctions(Output& out) {
    FMHost_Registration row{};
    for (uint32_t index = 0; FMHost_RegisteredAt(index, &row); ++index) {
        out.Function(row);
    }
}

void AskStrings(Plugin& plugin, Output& out) {
    for (const uint8_t id : kStringIds) {
        std::vector<uint16_t> answer(kStringBufferUnits, 0);
        plugin.AskString(id, answer);
        size_t length = 0;
        while (length < answer.size() && answer[length] != 0) {
            ++length;
        }
        std::string text(FMHost_Utf16ToUtf8(answer.data(), length, nullptr, 0) + 1, '\0');
        text.resize(FMHost_Utf16ToUtf8(answer.data(), length, text.data(), text.size()));
        out.StringAnswer(id, text);
    }
}

// One session of the plug-in, from start-up as an application of `kind` to shut-down; returns
// fmhost's exit status.
int RunSession(const Options& options, uint8_t kind, const std::optional<Script>& script,
               Plugin& plugin, Output& out) {
    const intptr_t answer = plugin.Start(kind);
    int status = 0;
    // Whatever goes wrong once the plug-in runs, it still gets its shut-down message.
    try {
        out.Startup(answer, kind);
        if (options.functions) {
            ListFunctions(out);
        }
        if (answer != kInitAccepted) {
            Complain("the plug-in refused to start (answer " + std::to_string(answer) + ")");
            status = kExitRefused;
        } else if (options.strings) {
            AskStrings(plugin, out);
        } else {
            RunScript(*script, out);
        }
    } catch (const std::bad_alloc&) {
        Complain("out of memory");
        status = kExitError;
    } catch (const std::exception& failure) {
        Complain(failure.what());
        status = kExitError;
    }
    plugin.ShutDown();
    out.Shutdown();
    return status;
}

int RunAsKind(const Options& options, uint8_t kind, const std::optional<Script>& script,
              Plugin& plugin, Output& out) {
    const int status = RunSession(options, kind, script, plugin, out);
    // As a user who turns the plug-in off and on in FileMaker's preferences: the same process
    // starts it again.
    if (status != 0 || !options.offAndOn) {
        return status;
    }
    return RunSession(options, kind, script, plugin, out);
}

int Run(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    std::optional<Script> script;
    if (!options.strings) {
        script.emplace(options.script);
    }
    Plugin plugin(options.plugin, options.interfaceVersion);
    Output out(options.json, options.everyAppKind);
    if (!options.everyAppKind) {
        return RunAsKind(options, options.appKind, script, plugin, out);
    }
    for (const uint8_t kind : kAppKinds) {
        const int status = RunAsKind(options, kind, script, plugin, out);
        // Walking the kinds, a refusal is an answer like any other.
        if (status != 0 && status != kExitRefused) {
            return status;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    fmhost::UseBinaryStandardStreams();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Complain("out of memory");
    } catch (const std::exception& failure) {
        Complain(failure.what());
    }
    return kExitError;
}
