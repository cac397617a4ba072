// SweepFolder: decides, before a sweep writes anything, whether a folder may take its files: one
// that is missing or empty, or one that already holds this sweep's own files (its marker, or
// variant scripts of the same base); the sweep's own are then its scripts, their logs, run
// reports (NAME.json) and movies (NAME.mp4, .webp, .gif), sweep.json, the job files and the
// contact sheet (with contact.mp4). Nothing the sweep did not write is ever replaced. Owns no
// files until Claim writes the marker.
#pragma once

#include <string>
#include <vector>

class SweepFolder {
public:
    // What the checks answer.
    enum class Result { Refused = 0, Done = 1 };
    static constexpr Result Refused = Result::Refused;
    static constexpr Result Done = Result::Done;
    // The marker a sweep leaves in its folder, naming its base: "Vorna sweep of BASE.vna".
    static constexpr const char *MarkerName = ".vorna-sweep";
    static constexpr const char *MarkerText = "Vorna sweep of ";

    // Whether folder may take the sweep of the base script at basePath with these variant
    // names: Done; Refused with Error naming the first file in the way. Reads only.
    [[nodiscard]] Result Check(const std::string &folder, const std::string &basePath,
                               const std::vector<std::string> &names);
    // Makes folder (with its parents) and writes the marker: Done; Refused with Error.
    [[nodiscard]] Result Claim(const std::string &folder, const std::string &basePath);
    // Whether the contact sheet may write index.html, contact.png, contact.mp4 and thumbs/ into
    // folder: they are missing, or the folder is a sweep's (its marker) or they are the sheet's
    // own (a page the sheet wrote, the pictures beside it). Done; Refused with Error.
    [[nodiscard]] Result CheckSheet(const std::string &folder);

    // The first character of text that a sweep refuses in a name (a control character: a line
    // break or tab would split the lines of the job files and scripts); npos when none.
    static size_t ControlCharacterAt(const std::string &text);
    // Whether folder holds the marker of base, or of any base when base is empty.
    static bool HasMarker(const std::string &folder, const std::string &base);

    std::string Error;

private:
    // Whether the file at path is a variant script whose head comment names base ("spots.vna").
    static bool IsVariantOf(const std::string &path, const std::string &base);
};
