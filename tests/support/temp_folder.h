// A test whose files live in a fresh temporary folder of its own, removed with everything in it
// after the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class CTempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The name inside the folder, as the core takes paths.
    std::wstring path(const std::string& name) const;
    // Writes bytes as the file's whole content.
    void put(const std::string& name, const std::string& bytes) const;
    // The file's whole content; empty when it cannot be read.
    std::string bytesOf(const std::string& name) const;

    std::filesystem::path m_folder;
};
