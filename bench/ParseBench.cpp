// Every gateway's parser at 1 KB, 100 KB and 1 MB of answer: the time per byte stays the same
// when the parser's work grows in step with the answer.
#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "Benchmarks.h"
#include "host/CalcFunctions.h"

namespace pgvbench {

namespace {

// An answer as its gateway writes it: its own fields, then one more field of the kind it adds as
// often as the size asks, then whatever must come last.
struct SAnswerShape {
    std::string head;
    std::function<std::string(size_t)> field;
    std::string tail;
    // The parsed field that says the answer was read as an approval.
    const char* statusField;
    const char* approved;
};

std::string AuthorizeNetFields() {
    std::map<size_t, std::string> values = {
        {0, "1"},           {1, "1"},
        {2, "1"},           {3, "This transaction has been approved."},
        {4, "QWE123"},      {5, "Y"},
        {6, "2149186848"},  {7, "INV-1001"},
        {8, "Monthly fee"}, {9, "1.00"},
        {10, "CC"},         {11, "auth_capture"},
        {12, "C-77"},       {13, "John"},
        {14, "Smith"},      {15, "Widgets, Inc"},
        {16, "1 Main St"},  {17, "Bellevue"},
        {18, "WA"},         {19, "98004"},
        {20, "US"},         {37, "F78CEDA63CEF500FB122F402BB603498"},
        {38, "M"},          {39, "2"},
        {50, "XXXX1111"},   {51, "Visa"},
    };
    std::string line;
    for (size_t i = 0; i < 68; ++i) {
        line += (i > 0 ? ",|" : "|") + values[i] + "|";
    }
    return line;
}

// PayPal's length tag carries a value that holds its separators.
std::string PayPalField(size_t index) {
    const std::string number = std::to_string(index);
    if (index % 2 == 1) {
        return "&USER" + number + "=value " + number;
    }
    const std::string value = "a&b=c note " + number;
    return "&COMMENT" + number + "[" + std::to_string(value.size()) + "]=" + value;
}

const SAnswerShape& Shape(const std::string& portal) {
    static const std::map<std::string, SAnswerShape> kShapes = {
        // Merchant-defined fields come back after the 68 of the AIM answer.
        {"AUTHNET",
         {AuthorizeNetFields(),
          [](size_t i) { return ",|merchant field " + std::to_string(i) + "|"; }, "",
          "x_response_code", "1"}},
        {"SECPAY",
         {"?valid=true&trans_id=TRAN0001&code=A&auth_code=9999&message=TEST AUTH&amount=50.0&"
          "test_status=true&cv2avs=ALL MATCH",
          [](size_t i) { return "&order_" + std::to_string(i) + "=item " + std::to_string(i); },
          "\r\n", "code", "A"}},
        {"NMI",
         {"response=1&responsetext=SUCCESS&authcode=123456&transactionid=5128291234&"
          "avsresponse=N&cvvresponse=M&orderid=1001&type=sale&response_code=100",
          [](size_t i) {
              return "&merchant_defined_field_" + std::to_string(i) + "=echo " + std::to_string(i);
          },
          "", "response", "1"}},
        // The order number runs to the field separator, so the parser walks all of it.
        {"SAGE",
         {std::string("\x02"
                      "A123456APPROVED 123456") +
              std::string(17, ' ') +
              "10MY00A5O89kkix0\x1C"
              "ORDER-",
          [](size_t i) { return std::to_string(1000000000 + i); },
          "\x1C"
          "0\x1C\x03",
          "approval indicator", "A"}},
        // Elements before the result: the parser looks for its elements through all of them.
        {"RXPAY",
         {R"(<?xml version="1.0" encoding="UTF-8"?><response>)",
          [](size_t i) {
              return "<field name=\"f" + std::to_string(i) + "\">value " + std::to_string(i) +
                     "</field>";
          },
          "<success>true</success><transaction>1234567</transaction>"
          "<confirmation>ABC123</confirmation></response>",
          "success", "1"}},
        {"PAYPAL",
         {"RESULT=0&PNREF=VXYZ01234567&RESPMSG=Approved&AUTHCODE=010101&AVSADDR=Y&AVSZIP=N&"
          "CVV2MATCH=Y&IAVS=N",
          &PayPalField, "", "result", "0"}},
    };
    const auto shape = kShapes.find(portal);
    if (shape == kShapes.end()) {
        throw std::invalid_argument("no answer shape for " + portal);
    }
    return shape->second;
}

void ParseAnswer(benchmark::State& state, const std::string& portal, size_t size) {
    const std::string answer = GatewayAnswer(portal, size);
    const SAnswerShape& shape = Shape(portal);
    {
        std::unique_ptr<CAuthBase> parser = CreateGateway(portal.c_str());
        std::string response = answer;
        parser->ParseResults(response);
        if (parser->m_Results[shape.statusField] != shape.approved) {
            state.SkipWithError("the answer was not read as an approval");
            return;
        }
    }
    // A new gateway object and a copy of the answer each time, as every transaction has.
    for (auto _ : state) {
        std::unique_ptr<CAuthBase> parser = CreateGateway(portal.c_str());
        std::string response = answer;
        parser->ParseResults(response);
        benchmark::DoNotOptimize(parser->m_Results);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answer.size()));
}

}  // namespace

std::string ParseBenchmarkName(const std::string& portal, size_t size) {
    return "ParseResults/" + portal + "/" + std::to_string(size);
}

std::string GatewayAnswer(const std::string& portal, size_t size) {
    const SAnswerShape& shape = Shape(portal);
    std::string answer = shape.head;
    for (size_t i = 1; answer.size() + shape.tail.size() < size; ++i) {
        answer += shape.field(i);
    }
    return answer + shape.tail;
}

void RegisterParseBenchmarks() {
    for (const char* portal : kPortals) {
        for (const size_t size : kAnswerSizes) {
            benchmark::RegisterBenchmark(ParseBenchmarkName(portal, size).c_str(), &ParseAnswer,
                                         std::string(portal), size);
        }
    }
}

}  // namespace pgvbench
