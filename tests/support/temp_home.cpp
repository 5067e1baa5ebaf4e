#include "support/temp_home.h"

#include "support/portable.h"

CTempHome::CTempHome()
    : m_path(testsupport::makeTempFolder("doravine-home-"))
{
    std::filesystem::create_directories(m_path / ".config");
    std::filesystem::create_directories(m_path / "Documents");
    testsupport::setEnvironment("HOME", m_path.string());
    testsupport::setEnvironment("XDG_CONFIG_HOME", (m_path / ".config").string());
    testsupport::setEnvironment("XDG_DOCUMENTS_DIR", (m_path / "Documents").string());
}

CTempHome::~CTempHome()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
