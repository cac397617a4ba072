#include "cli/ModelTable.h"

#include <cstdio>

#include "rdsimul/ReactionModels.h"

std::string ModelTableMarkdown() {
    std::string table =
        "| model | components | parameter | meaning | typical value |\n"
        "|---|---|---|---|---|\n";
    char row[256];
    for (const ReactionModelInfo &model : ReactionModelTable) {
        if (ModelIsFormula(ReactionModelId(&model - ReactionModelTable))) {
            // Its script's formula lines name the components and the parameters.
            std::snprintf(row, sizeof row,
                          "| `%s` | 1 to %d | any name | read by its formula lines | |\n",
                          model.Name, model.Components);
            table += row;
            continue;
        }
        if (model.ParameterCount() == 0) {
            std::snprintf(row, sizeof row, "| `%s` | %d | none | | |\n", model.Name,
                          model.Components);
            table += row;
        }
        for (int i = 0; i < model.ParameterCount(); ++i) {
            const ModelParameter &parameter = model.Parameters[i];
            std::snprintf(row, sizeof row, "| `%s` | %d | `%s` | %s | %g |\n", model.Name,
                          model.Components, ReactionParameterNames[int(parameter.Field)],
                          parameter.Meaning, parameter.Typical);
            table += row;
        }
    }
    return table;
}
