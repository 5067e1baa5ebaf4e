// A temporary home, so that the remembered port and the documents folder never touch the real
// user's: HOME, XDG_CONFIG_HOME and XDG_DOCUMENTS_DIR point into a fresh folder (with .config and
// Documents in it) while the object lives, and everything is put back afterwards.
#pragma once

#include "support/saved_environment.h"

#include <filesystem>

class CTempHome {
  public:
    CTempHome();
    ~CTempHome();
    CTempHome(const CTempHome&) = delete;
    CTempHome& operator=(const CTempHome&) = delete;
    const std::filesystem::path& path() const { return m_path; }

  private:
    CSavedEnvironment m_environment{{"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"}};
    std::filesystem::path m_path;
};
