#include "sweep/SweepManifest.h"

#include <cstdlib>
#include <filesystem>

#include "sweep/SweepRunner.h"
#include "sweep/VariantReport.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

namespace fs = std::filesystem;

using Json = nlohmann::ordered_json;

std::string Dump(const Json &document, int indent) {
    return document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

SweepManifest::Result WriteDocument(const std::string &folder, const Json &document,
                                    std::string &error) {
    const std::string path = (fs::path(folder) / SweepManifest::FileName).string();
    const std::string text = Dump(document, 2);
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(path.c_str(), text.data(), text.size(), cause) !=
        AtomicFileWriter::Done) {
        error = path + ": " + FaultText(cause) + "\n";
        return SweepManifest::Failed;
    }
    return SweepManifest::Done;
}

// A value as the expander writes it (a plain decimal) as a JSON number: a whole one that fits
// stays whole ("2", not "2.0").
Json Number(const std::string &value) {
    if (value.find('.') == std::string::npos && value.size() < 19) {
        return std::strtoll(value.c_str(), nullptr, 10);
    }
    return std::strtod(value.c_str(), nullptr);
}

}  // namespace

SweepManifest::Result SweepManifest::Write(const std::string &folder, const std::string &basePath,
                                           const SweepExpander &expander,
                                           const ImageOptions &outputs) {
    Error.clear();
    Document = Json::object();
    Document["base"] = basePath;
    Json varied = Json::array();
    for (const VariedLine &line : expander.VariedLines()) varied.push_back(line.LineText());
    Document["varied"] = varied;
    Json variants = Json::array();
    for (const SweepVariant &variant : expander.Variants()) {
        Json entry = Json::object();
        entry["name"] = variant.Name;
        entry["script"] = variant.Name + ".vna";
        Json values = Json::object();
        for (size_t i = 0; i < variant.Values.size() && i < expander.VariedLines().size(); ++i) {
            values[expander.VariedLines()[i].LineText()] = Number(variant.Values[i]);
        }
        entry["values"] = values;
        entry["seed"] = variant.Seed;
        // The images the script writes, as the sheet and --resume find them.
        std::vector<SweepRunner::Image> images;
        uint32_t points = 0;
        Json paths = Json::array();
        if (SweepRunner::ExpectedImages((fs::path(folder) / (variant.Name + ".vna")).string(),
                                        images, points, outputs)) {
            for (const SweepRunner::Image &image : images) {
                paths.push_back(fs::path(image.Path).filename().string());
            }
        }
        entry["images"] = paths;
        variants.push_back(entry);
    }
    Document["variants"] = variants;
    return WriteDocument(folder, Document, Error);
}

void SweepManifest::AddReport(const std::string &folder, Json &variant, const int *status) {
    variant.erase("status");
    variant.erase("uniform");
    variant.erase("range");
    VariantReport report;
    if (!variant.contains("name") || !variant["name"].is_string() ||
        report.Read(VariantReport::PathOf(folder, variant["name"].get<std::string>())) !=
            VariantReport::Done) {
        if (status != nullptr) variant["status"] = *status;
        return;
    }
    if (report.Status >= 0) {
        variant["status"] = report.Status;
    } else if (status != nullptr) {
        variant["status"] = *status;
    }
    if (report.Final != VariantReport::Field::Unknown) {
        variant["uniform"] = report.Final == VariantReport::Field::Uniform;
    }
    if (report.HasRange) {
        variant["range"] = {
            {"iteration", report.Iteration}, {"min", report.Min}, {"max", report.Max}};
    }
}

SweepManifest::Result SweepManifest::Update(const std::string &folder) {
    Error.clear();
    const std::string path = (fs::path(folder) / FileName).string();
    std::error_code missing;
    if (!fs::exists(fs::symlink_status(path, missing))) return Missing;
    std::string text;
    FileFault fault;
    if (ReadTextFile(path.c_str(), MaxBytes, text, fault) != FileCheckDone) {
        Error = path + ": " + FaultText(fault) + "\n";
        return Failed;
    }
    Json document = Json::parse(text, nullptr, false);
    if (!document.is_object() || !document.contains("variants") ||
        !document["variants"].is_array()) {
        Error = path + ": not a sweep's list of variants (it is left as it is)\n";
        return Failed;
    }
    for (Json &variant : document["variants"]) {
        if (!variant.is_object()) continue;
        const int *status = nullptr;
        if (variant.contains("name") && variant["name"].is_string()) {
            const auto known = Statuses.find(variant["name"].get<std::string>());
            if (known != Statuses.end()) status = &known->second;
        }
        AddReport(folder, variant, status);
    }
    Document = document;
    return WriteDocument(folder, Document, Error);
}

std::string SweepManifest::VariantLine(const std::string &folder, const std::string &name,
                                       int status, bool skipped) const {
    Json line = Json::object();
    line["name"] = name;
    line["script"] = (fs::path(folder) / (name + ".vna")).string();
    Json variant = Json::object();
    if (Document.contains("variants") && Document["variants"].is_array()) {
        for (const Json &entry : Document["variants"]) {
            if (entry.is_object() && entry.contains("name") && entry["name"] == name)
                variant = entry;
        }
    }
    line["values"] = variant.contains("values") ? variant["values"] : Json::object();
    if (variant.contains("seed")) line["seed"] = variant["seed"];
    line["status"] = status;
    if (skipped) line["skipped"] = true;
    VariantReport report;
    Json images = Json::array();
    if (report.Read(VariantReport::PathOf(folder, name)) == VariantReport::Done &&
        !report.Images.empty()) {
        for (const std::string &image : report.Images) images.push_back(image);
    } else if (variant.contains("images") && variant["images"].is_array()) {
        for (const Json &image : variant["images"]) {
            if (!image.is_string()) continue;
            const fs::path path = fs::path(folder) / image.get<std::string>();
            std::error_code error;
            if (fs::is_regular_file(path, error)) images.push_back(path.string());
        }
    }
    line["images"] = images;
    if (report.Final != VariantReport::Field::Unknown) {
        line["uniform"] = report.Final == VariantReport::Field::Uniform;
    }
    if (report.HasRange) {
        line["range"] = {{"iteration", report.Iteration}, {"min", report.Min}, {"max", report.Max}};
    }
    return Dump(line, -1);
}
