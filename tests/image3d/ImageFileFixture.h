// Test helpers for the picture tests: a fresh directory per test and whole-file reads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class ImageFileTest : public testing::Test {
protected:
    void SetUp() override {
        const auto *info = testing::UnitTest::GetInstance()->current_test_info();
        Dir = std::filesystem::path(testing::TempDir()) /
              (std::string("vorna_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    std::string PathOf(const std::string &name) const { return (Dir / name).string(); }

    static std::vector<unsigned char> ReadBytes(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    // Names in the directory, to show that no temporary or partial file is left behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(Dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path Dir;
};
