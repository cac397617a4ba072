// The README's table of the models and their parameters is the one --list-models prints, so it
// cannot drift from the model list.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/ModelTable.h"
#include "rdsimul/ReactionModels.h"
#include "rdsimul/ScriptTestSupport.h"

TEST(ModelTableTest, ReadmeHoldsTheGeneratedTable) {
    std::string readme =
        scripttest::ReadFile((std::filesystem::path(VORNA_SOURCE_DIR) / "README.md").string());
    std::string table = ModelTableMarkdown();
    const std::string header = table.substr(0, table.find('\n') + 1);
    size_t start = readme.find("\n" + header);
    ASSERT_NE(start, std::string::npos) << "README.md has no model table; paste the output of "
                                           "vorna-cli --list-models";
    EXPECT_EQ(readme.find("\n" + header, start + 1), std::string::npos) << "two model tables";
    // The table runs to the first line that is not a table row.
    std::istringstream lines(readme.substr(start + 1));
    std::string found;
    for (std::string line; std::getline(lines, line) && !line.empty() && line[0] == '|';) {
        found += line + "\n";
    }
    EXPECT_EQ(found, table) << "README.md's model table differs from the model list; paste the "
                               "output of vorna-cli --list-models";
}

TEST(ModelTableTest, EveryParameterOfEveryModelHasItsRow) {
    std::string table = ModelTableMarkdown();
    for (const ReactionModelInfo &model : ReactionModelTable) {
        SCOPED_TRACE(model.Name);
        if (ModelIsFormula(ReactionModelId(&model - ReactionModelTable))) {
            EXPECT_NE(table.find(std::string("| `") + model.Name + "` | 1 to 4 | any name |"),
                      std::string::npos);
            continue;
        }
        const std::string name =
            std::string("| `") + model.Name + "` | " + std::to_string(model.Components) + " | ";
        if (model.ParameterCount() == 0) {
            EXPECT_NE(table.find(name + "none |"), std::string::npos);
        }
        for (int i = 0; i < model.ParameterCount(); ++i) {
            const ModelParameter &parameter = model.Parameters[i];
            std::ostringstream row;
            row << name << '`' << ReactionParameterNames[int(parameter.Field)] << "` | "
                << parameter.Meaning << " | " << parameter.Typical << " |\n";
            EXPECT_NE(table.find(row.str()), std::string::npos) << row.str();
        }
    }
}
