// VariantMovies: the movies every variant of a sweep writes beside its images (--movie TYPE),
// named NAME.TYPE, and the options that pass them on to a variant's run and its job lines.
// One value; owns the type words.
#pragma once

#include <string>
#include <vector>

#include "movie/MovieEncoder.h"

struct VariantMovies {
    std::vector<std::string> Types;  // "mp4", "webp", "gif", in the order given
    int Every = 0;                   // --movie-every; 0: a frame with every image of the script
    MovieSettings Settings;

    bool Empty() const { return Types.empty(); }
    // Whether word is a type a sweep's --movie takes: mp4, webp or gif (lower case).
    static bool IsType(const std::string &word);
    // The file names of variant name's movies: "NAME.mp4", ...
    std::vector<std::string> Files(const std::string &name) const;
    // --movie-every, --fps and --movie-quality as a variant's run takes them (none at their
    // defaults); the --movie options themselves name each variant's files.
    std::vector<std::string> Arguments() const;
};
