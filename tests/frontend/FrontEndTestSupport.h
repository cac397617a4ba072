// Shared fixture of the front-end tests: a fresh headless platform, a fresh folder that is both
// the program's folder and the working folder, and small scripts of the parameter language.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/StartUp.h"
#include "platform_headless/HeadlessPlatform.h"
#include "toolkit/StringTable.h"

namespace frontendtest {

// A complete script that runs 30 iterations on 20 x 10 points and writes an 8-bit image of A
// every 10 iterations.
inline std::string GoodScript(const std::string &extra = "") {
    return "model brusselator\n"
           "modpar alpha 4.5\n"
           "modpar beta 7.5\n"
           "reaction A 0.01\n"
           "reaction B 0.01\n"
           "diffusion A 0.05\n"
           "diffusion B 0.4\n"
           "init A 4.5 0.1\n"
           "init B 1.6 0.1\n"
           "size 20 10\n"
           "iterations 30\n"
           "colormap gray\n"
           "image256 A t+10 autoscale\n" +
           extra;
}

inline std::string ReadWhole(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteWhole(const std::filesystem::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class FrontEndTest : public testing::Test {
protected:
    void SetUp() override {
        ResetFrontEndGlobals();
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char &c : name) {
            if (c == '/') c = '_';
        }
        Dir = std::filesystem::path(testing::TempDir()) / "vorna_frontend" / name;
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        H = std::make_unique<HeadlessPlatform>();
        H->ProgramDir = Dir.string();
        H->MainWidth = 400;
        H->MainHeight = 300;
    }
    void TearDown() override {
        std::filesystem::current_path(OldDir);
        ResetFrontEndGlobals();
    }

    // Starts the program with an optional command-line script and the given settings value.
    void Start(const char *argument = nullptr, const char *language = "english") {
        if (language != nullptr) {
            H->Settings[SettingsPath()]["Locale/language"] = language;
        }
        VornaMain(*H, argument);
    }
    std::string SettingsPath() const { return (Dir / "vorna.ini").string(); }
    std::filesystem::path Script(const std::string &name, const std::string &text) {
        std::filesystem::path path = Dir / name;
        WriteWhole(path, text);
        return path;
    }
    // The texts of the boxes shown so far, as "caption|text".
    bool HasBox(const std::string &text) const {
        for (const auto &b : H->Boxes) {
            if (b.Text == text) return true;
        }
        return false;
    }

    std::filesystem::path Dir;
    std::filesystem::path OldDir;
    std::unique_ptr<HeadlessPlatform> H;
};

}  // namespace frontendtest
