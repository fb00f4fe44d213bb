// The patch schema that editors use: every example patch follows it, and it refuses what the
// host refuses for the same reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validator.hpp>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json readJson(const fs::path& file) {
    std::ifstream in(file);
    return json::parse(in);
}

struct PatchSchema : ::testing::Test {
    static void SetUpTestSuite() {
        const json document = readJson(fs::path(PQ_SOURCE_DIR) / "docs" / "patch.schema.json");
        valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
        parser.populateSchema(valijson::adapters::NlohmannJsonAdapter(document), schema);
    }
    // Empty when `patch` follows the schema, else the first complaint.
    static std::string complaint(const json& patch) {
        valijson::Validator validator;
        valijson::ValidationResults results;
        if (validator.validate(schema, valijson::adapters::NlohmannJsonAdapter(patch), &results)) return {};
        valijson::ValidationResults::Error error;
        results.popError(error);
        std::string where;
        for (const std::string& part : error.context)
            where += part;
        return where + ": " + error.description;
    }
    static inline valijson::Schema schema;
};

TEST_F(PatchSchema, EveryExamplePatchFollowsIt) {
    int examples = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(PQ_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".json") continue;
        ++examples;
        EXPECT_EQ(complaint(readJson(entry.path())), "") << entry.path();
    }
    EXPECT_GT(examples, 0);
}

TEST_F(PatchSchema, RefusesWhatTheHostRefuses) {
    const json base =
        json::parse(R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}],
        "output": ["x.Signal Out"]})");
    ASSERT_EQ(complaint(base), "");
    const char* faults[] = {
        R"([{"op": "add", "path": "/samplerate", "value": 96000}])",
        R"([{"op": "add", "path": "/sampleRate", "value": 44100.5}])",
        R"([{"op": "add", "path": "/modules/0/valeus", "value": {}}])",
        R"([{"op": "add", "path": "/faces", "value": [{"module": "x", "width": 8, "height": 8, "file": "../x.png"}]}])",
        R"([{"op": "add", "path": "/faces", "value": [{"module": "x", "width": 8, "height": 8, "file": "/x.png"}]}])",
        R"([{"op": "add", "path": "/events", "value": [{"pin": "x.Gate", "gate": {"start": 0, "high": 0}}]}])",
        R"([{"op": "remove", "path": "/length"}])",
    };
    for (const char* fault : faults)
        EXPECT_NE(complaint(base.patch(json::parse(fault))), "") << fault;
}

} // namespace
