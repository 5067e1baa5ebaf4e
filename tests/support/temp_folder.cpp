#include "support/temp_folder.h"

#include "platform/ierror.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

void CTempFolderTest::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "doravine-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a temporary folder";
    m_folder = pattern;
}

void CTempFolderTest::TearDown()
{
    if (m_folder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::wstring CTempFolderTest::path(const std::string& name) const
{
    return utf82unicode((m_folder / name).string());
}

void CTempFolderTest::put(const std::string& name, const std::string& bytes) const
{
    std::error_code ignored;
    std::filesystem::create_directories((m_folder / name).parent_path(), ignored);
    std::ofstream(m_folder / name, std::ios::binary) << bytes;
}

std::string CTempFolderTest::bytesOf(const std::string& name) const
{
    std::ifstream in(m_folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
