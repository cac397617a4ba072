// SweepExpander: turns a base script and its varied lines into the variant scripts of a sweep
// (the Cartesian product of the values), writes them into the sweep folder and has the parser
// check each before anything runs. Owns the base script's lines and the list of variants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sweep/VariedLine.h"

struct SweepVariant {
    std::string Name;                 // file name without ".vna": "alpha3_beta7.5"
    std::vector<std::string> Values;  // one per varied line, as written into the script
    uint32_t Seed = 0;                // its randseed line
    std::string Text;                 // the whole script
};

class SweepExpander {
public:
    // What its steps answer: Failed (with Error), Done, VariantRefused (WriteAndCheck: the
    // parser refused a variant).
    enum class Result { Failed = 0, Done = 1, VariantRefused = 2 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result VariantRefused = Result::VariantRefused;
    static constexpr int MaxVariants = 10000;

    // The head comment that marks a variant script and the line that holds one varied value:
    // "// vary modpar beta = 7.5". The contact sheet reads them back.
    static constexpr const char *HeadComment = "// Sweep variant ";
    static constexpr const char *VaryComment = "// vary ";

    // Reads the base script and checks it with the parser: Done; Failed with the reasons in Error
    // (one PATH:LINE: TEXT line per annotation).
    [[nodiscard]] Result LoadBase(const std::string &path);
    // Builds the variants of variedLines, first varied slowest; a varied modpar line must name a
    // parameter of the base's model as the model spells it. seed non-zero is the seed of every
    // variant; 0 takes the base's randseed, else one fresh seed shared by all. randomize gives
    // each variant a fresh seed of its own. keepFrom (non-empty) is a folder whose existing
    // variant scripts keep their seeds, so a resumed sweep repeats the same runs. Done; Failed with
    // Error.
    [[nodiscard]] Result Expand(const std::vector<VariedLine> &variedLines, uint32_t seed,
                                bool randomize, const std::string &keepFrom = "");
    // Checks every variant with the parser, as folder/NAME.vna, writing nothing: Done;
    // VariantRefused with Error naming the first faulty variant, its line and the parser's text.
    [[nodiscard]] Result CheckVariants(const std::string &folder);
    // Checks the variants (unless CheckVariants has, for folder), then writes each as
    // folder/NAME.vna (the folder is created): Done; VariantRefused as CheckVariants, with
    // nothing written; Failed with Error for a file that could not be written.
    [[nodiscard]] Result WriteAndCheck(const std::string &folder);

    const std::vector<SweepVariant> &Variants() const { return List; }
    const std::vector<VariedLine> &VariedLines() const { return VariedList; }
    // The base's file name without folder and extension: "spots-brusselator".
    const std::string &BaseName() const { return Base; }
    // The seed shared by all variants; 0 with randomize.
    uint32_t SharedSeed() const { return Shared; }

    std::string Error;

private:
    // Whether a varied modpar line names a parameter of the model: true, or false with Error.
    bool ModelReads(const VariedLine &varied);
    // The line of the base that varied varies: its index, or -1 when the base has none.
    int FindLine(const VariedLine &varied) const;
    // line with the picture of a map or initmap line named from the base script's folder (an
    // absolute path), so that the variants in their own folder find it; other lines unchanged.
    std::string WithPicturePath(const std::string &line) const;
    // The text of the variant whose value indexes are picks.
    std::string VariantText(const std::vector<size_t> &picks, const std::string &name,
                            uint32_t seed) const;

    std::string BasePath;
    std::string Base;
    std::vector<std::string> Lines;  // the base script's lines with their line ends
    std::string LineEnd = "\n";
    std::vector<VariedLine> VariedList;
    std::vector<int> LineIndexes;  // per varied line, its index in Lines, or -1 to append it
    std::vector<SweepVariant> List;
    uint32_t Shared = 0;
    int Model = 0;         // the base's model, its index in ReactionModelTable
    std::string Folder;    // the folder the variants were last checked for
    bool Checked = false;  // CheckVariants accepted List for Folder
};
