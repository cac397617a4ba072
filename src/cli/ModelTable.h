// ModelTable: the reaction models and their parameters as a Markdown table, made from the one
// model list; `vorna-cli --list-models` prints it and the README holds it.
#pragma once

#include <string>

// One row per parameter (one for a model without any): model, components, parameter, meaning,
// typical value; each line ends with a line feed.
std::string ModelTableMarkdown();
