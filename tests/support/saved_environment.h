// Environment variables that a test changes, put back as they were (set or unset) when the object
// goes. While it lives they start out unset, so the test sees only what it sets itself.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class CSavedEnvironment {
  public:
    explicit CSavedEnvironment(const std::vector<std::string>& names);
    ~CSavedEnvironment();
    CSavedEnvironment(const CSavedEnvironment&) = delete;
    CSavedEnvironment& operator=(const CSavedEnvironment&) = delete;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};
