// The user guide that ships in the release against the plug-in: its table of functions against
// what the host's register holds after start-up, its table of pgv. names against the names a
// transaction answers with. A name on one side only, or a prototype or parameter count that
// differs, fails.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "Support.h"

namespace {

// The rows of the guide's tables whose first cell is a name in backquotes beginning with
// `prefix`, by that name, with the second cell as the value. A name given twice fails the test.
std::map<std::string, std::string> GuideRows(const std::string& prefix) {
    const std::string opening = "| `" + prefix;
    std::map<std::string, std::string> rows;
    std::istringstream guide(ReadFile(PGV_USER_GUIDE));
    for (std::string line; std::getline(guide, line);) {
        const size_t nameEnd = line.find("` | ", opening.size());
        if (line.rfind(opening, 0) != 0 || nameEnd == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(3, nameEnd - 3);
        const size_t valueStart = nameEnd + 4;
        const size_t valueEnd = line.find(" |", valueStart);
        const std::string value = line.substr(valueStart, valueEnd - valueStart);
        if (!rows.emplace(name, value).second) {
            ADD_FAILURE() << name << " has two rows in the guide";
        }
    }
    return rows;
}

// How the guide writes the number of parameters a function takes.
std::string ParameterCount(int least, int most) {
    if (least == most) {
        return std::to_string(least);
    }
    return std::to_string(least) + (most == least + 1 ? " or " : " to ") + std::to_string(most);
}

TEST(UserGuide, FunctionTableIsWhatThePluginRegisters) {
    // A prototype in its first cell, the number of parameters in its second.
    const std::map<std::string, std::string> guide = GuideRows("PGV_");
    std::map<std::string, std::string> byName;
    for (const auto& [prototype, count] : guide) {
        byName[prototype.substr(0, prototype.find('('))] = prototype + " takes " + count;
    }

    const SHostRun run = RunHost("", {"--functions"});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    std::map<std::string, std::string> registered;
    for (const std::string& line : run.lines) {
        const nlohmann::ordered_json json = Json(line);
        if (json.contains("function")) {
            registered[json["function"]] =
                json["prototype"].get<std::string>() + " takes " +
                ParameterCount(json["minArgs"].get<int>(), json["maxArgs"].get<int>());
        }
    }
    EXPECT_EQ(byName, registered);
}

TEST(UserGuide, PgvTableIsWhatATransactionAnswers) {
    std::set<std::string> guide;
    for (const auto& row : GuideRows("pgv.")) {
        guide.insert(row.first);
    }

    CTempDir dir;
    const std::string logPath = (dir.Path() / "transaction.log").string();
    const SHostRun run =
        RunHost(TransactionScript("AUTHNET",
                                  "WIM_Log=" + logPath +
                                      "|x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1|"
                                      "x_amount=1.00|x_card_num=4111111111111111|x_exp_date=1230",
                                  {"pgv.status"}));
    ASSERT_EQ(run.Result(kFirstResult), "approved") << run.errors;
    std::set<std::string> answered;
    std::istringstream log(ReadFile(logPath));
    bool normalised = false;
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "--Normalised results") {
            normalised = true;
        } else if (normalised && line.rfind("  ", 0) == 0) {
            answered.insert(line.substr(2, line.find('=') - 2));
        } else {
            normalised = false;
        }
    }
    EXPECT_EQ(guide, answered);
}

}  // namespace
