#include "sweep/VariantMovies.h"

#include <cstdio>

bool VariantMovies::IsType(const std::string &word) {
    return word == "mp4" || word == "webp" || word == "gif";
}

std::vector<std::string> VariantMovies::Files(const std::string &name) const {
    std::vector<std::string> files;
    for (const std::string &type : Types) files.push_back(name + "." + type);
    return files;
}

std::vector<std::string> VariantMovies::Arguments() const {
    std::vector<std::string> words;
    if (Empty()) return words;
    if (Every > 0) {
        words.push_back("--movie-every");
        words.push_back(std::to_string(Every));
    }
    if (Settings.Fps != MovieSettings().Fps) {
        // Enough digits to read back the same rate.
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", Settings.Fps);
        words.push_back("--fps");
        words.push_back(text);
    }
    if (Settings.Quality != 0) {
        words.push_back("--movie-quality");
        words.push_back(std::to_string(Settings.Quality));
    }
    return words;
}
