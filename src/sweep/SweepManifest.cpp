#include "sweep/SweepManifest.h"

#include <cstdlib>
#include <filesystem>

#include "sweep/SweepRunner.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

namespace fs = std::filesystem;

using Json = nlohmann::ordered_json;

std::string Dump(const Json &value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Appends text[from..] as a JSON string to out. Plain ASCII, as image names are, goes straight
// through: a variant that writes an image every iteration lists hundreds of thousands.
void AppendQuoted(std::string &out, const std::string &text, size_t from = 0) {
    for (size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            out += Dump(Json(text.substr(from)));
            return;
        }
    }
    out += '"';
    out.append(text, from, std::string::npos);
    out += '"';
}

std::string Quote(const std::string &text) {
    std::string quoted;
    AppendQuoted(quoted, text);
    return quoted;
}

// A value as the expander writes it (a plain decimal) as a JSON number: a whole one that fits
// stays whole ("2", not "2.0").
Json Number(const std::string &value) {
    if (value.find('.') == std::string::npos && value.size() < 19) {
        return std::strtoll(value.c_str(), nullptr, 10);
    }
    return std::strtod(value.c_str(), nullptr);
}

// What a report adds to a variant's object: ,"uniform":B,"range":{...} when it tells them.
std::string ReportMembers(const VariantReport &report) {
    std::string text;
    if (report.Final != VariantReport::Field::Unknown) {
        text += report.Final == VariantReport::Field::Uniform ? ",\"uniform\":true"
                                                              : ",\"uniform\":false";
    }
    if (report.HasRange) {
        text +=
            ",\"range\":" +
            Dump(Json{{"iteration", report.Iteration}, {"min", report.Min}, {"max", report.Max}});
    }
    return text;
}

}  // namespace

SweepManifest::Result SweepManifest::Write(const std::string &folder, const std::string &basePath,
                                           const SweepExpander &expander,
                                           const ImageOptions &outputs,
                                           const VariantMovies &movies) {
    Error.clear();
    Base = basePath;
    Varied.clear();
    for (const VariedLine &line : expander.VariedLines()) Varied.push_back(line.LineText());
    Variants.clear();
    for (const SweepVariant &sweepVariant : expander.Variants()) {
        Variant variant;
        variant.Name = sweepVariant.Name;
        variant.Values = Json::object();
        for (size_t i = 0; i < sweepVariant.Values.size() && i < Varied.size(); ++i) {
            variant.Values[Varied[i]] = Number(sweepVariant.Values[i]);
        }
        variant.Seed = sweepVariant.Seed;
        // The images the script writes, as the sheet and --resume find them.
        std::vector<SweepRunner::Image> images;
        uint32_t points = 0;
        if (SweepRunner::ExpectedImages((fs::path(folder) / (variant.Name + ".vna")).string(),
                                        images, points, outputs)) {
            // The images go into the script's folder: their names follow its last '/'.
            variant.Images = "[";
            for (size_t i = 0; i < images.size(); ++i) {
                if (i != 0) variant.Images += ',';
                const size_t slash = images[i].Path.rfind('/');
                AppendQuoted(variant.Images, images[i].Path,
                             slash == std::string::npos ? 0 : slash + 1);
            }
            variant.Images += ']';
        }
        for (const std::string &file : movies.Files(variant.Name)) variant.Movies.push_back(file);
        Variants.push_back(std::move(variant));
    }
    Listed = true;
    return Save(folder);
}

SweepManifest::Result SweepManifest::Save(const std::string &folder) {
    const std::string path = (fs::path(folder) / FileName).string();
    const std::string text = Text();
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(path.c_str(), text.data(), text.size(), cause) !=
        AtomicFileWriter::Done) {
        Error = path + ": " + FaultText(cause) + "\n";
        return Failed;
    }
    return Done;
}

SweepManifest::Result SweepManifest::Load(const std::string &folder) {
    const std::string path = (fs::path(folder) / FileName).string();
    std::error_code missing;
    if (!fs::exists(fs::symlink_status(path, missing))) return Missing;
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), MaxBytes, text, fault) != FileCheckDone) {
        Error = path + ": " + FaultText(fault) + "\n";
        return Failed;
    }
    const Json document = Json::parse(text, nullptr, false);
    const std::string refused = path + ": not a sweep's list of variants (it is left as it is)\n";
    if (!document.is_object() || !document.contains("variants") ||
        !document["variants"].is_array()) {
        Error = refused;
        return Failed;
    }
    Base = document.contains("base") && document["base"].is_string()
               ? document["base"].get<std::string>()
               : std::string();
    Varied.clear();
    if (document.contains("varied") && document["varied"].is_array()) {
        for (const Json &line : document["varied"]) {
            if (line.is_string()) Varied.push_back(line.get<std::string>());
        }
    }
    Variants.clear();
    for (const Json &entry : document["variants"]) {
        if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string()) {
            Error = refused;
            return Failed;
        }
        Variant variant;
        variant.Name = entry["name"].get<std::string>();
        variant.Values = entry.contains("values") && entry["values"].is_object() ? entry["values"]
                                                                                 : Json::object();
        if (entry.contains("seed") && entry["seed"].is_number()) variant.Seed = entry["seed"];
        if (entry.contains("images") && entry["images"].is_array()) {
            variant.Images = Dump(entry["images"]);
        }
        if (entry.contains("movies") && entry["movies"].is_array()) {
            for (const Json &movie : entry["movies"]) {
                if (movie.is_string()) variant.Movies.push_back(movie);
            }
        }
        Variants.push_back(std::move(variant));
    }
    Listed = true;
    return Done;
}

std::string SweepManifest::Text() const {
    std::string text = "{\n\"base\": " + Quote(Base) + ",\n\"varied\": [";
    for (size_t i = 0; i < Varied.size(); ++i) {
        if (i != 0) text += ", ";
        text += Quote(Varied[i]);
    }
    text += "],\n\"variants\": [\n";
    for (size_t v = 0; v < Variants.size(); ++v) {
        const Variant &variant = Variants[v];
        text += "{\"name\":" + Quote(variant.Name) + ",\"script\":" + Quote(variant.Name + ".vna") +
                ",\"values\":" + Dump(variant.Values);
        if (!variant.Seed.is_null()) text += ",\"seed\":" + Dump(variant.Seed);
        text += ",\"images\":";
        text += variant.Images;
        if (!variant.Movies.empty()) text += ",\"movies\":" + Dump(variant.Movies);
        if (variant.HasStatus) text += ",\"status\":" + std::to_string(variant.Status);
        text += ReportMembers(variant.Report);
        text += v + 1 < Variants.size() ? "},\n" : "}\n";
    }
    return text + "]\n}\n";
}

const SweepManifest::Variant *SweepManifest::Find(const std::string &name) const {
    for (const Variant &variant : Variants) {
        if (variant.Name == name) return &variant;
    }
    return nullptr;
}

SweepManifest::Result SweepManifest::Update(const std::string &folder) {
    Error.clear();
    if (!Listed) {
        const Result loaded = Load(folder);
        if (loaded != Done) return loaded;
    }
    for (Variant &variant : Variants) {
        // Everything comes again from this report: a mark of an earlier run never stays.
        variant.HasStatus = false;
        if (variant.Report.Read(VariantReport::PathOf(folder, variant.Name)) ==
                VariantReport::Done &&
            variant.Report.Status >= 0) {
            variant.HasStatus = true;
            variant.Status = variant.Report.Status;
        }
        const auto seen = Statuses.find(variant.Name);
        if (!variant.HasStatus && seen != Statuses.end()) {
            variant.HasStatus = true;
            variant.Status = seen->second;
        }
    }
    return Save(folder);
}

std::string SweepManifest::VariantLine(const std::string &folder, const std::string &name,
                                       int status, bool skipped) const {
    const Variant *variant = Find(name);
    std::string line = "{\"name\":" + Quote(name) +
                       ",\"script\":" + Quote((fs::path(folder) / (name + ".vna")).string()) +
                       ",\"values\":" + (variant != nullptr ? Dump(variant->Values) : "{}");
    if (variant != nullptr && !variant->Seed.is_null()) line += ",\"seed\":" + Dump(variant->Seed);
    line += ",\"status\":" + std::to_string(status);
    if (skipped) line += ",\"skipped\":true";
    VariantReport report;
    std::vector<std::string> images;
    if (report.Read(VariantReport::PathOf(folder, name)) == VariantReport::Done &&
        !report.Images.empty()) {
        images = report.Images;
    } else if (variant != nullptr) {
        const Json listed = Json::parse(variant->Images, nullptr, false);
        for (const Json &image : listed.is_array() ? listed : Json::array()) {
            if (!image.is_string()) continue;
            const fs::path path = fs::path(folder) / image.get<std::string>();
            std::error_code error;
            if (fs::is_regular_file(path, error)) images.push_back(path.string());
        }
    }
    line += ",\"images\":[";
    for (size_t i = 0; i < images.size(); ++i) {
        if (i != 0) line += ',';
        line += Quote(images[i]);
    }
    line += "]";
    // The movies the report names, else those of the list that are there.
    std::vector<std::string> movies = report.Movies;
    if (movies.empty() && variant != nullptr) {
        for (const Json &movie : variant->Movies) {
            const fs::path path = fs::path(folder) / movie.get<std::string>();
            std::error_code error;
            if (fs::is_regular_file(path, error)) movies.push_back(path.string());
        }
    }
    if (!movies.empty()) {
        line += ",\"movies\":[";
        for (size_t i = 0; i < movies.size(); ++i) {
            if (i != 0) line += ',';
            line += Quote(movies[i]);
        }
        line += "]";
    }
    return line + ReportMembers(report) + "}\n";
}
