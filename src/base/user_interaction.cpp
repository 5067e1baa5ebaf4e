#include "base/user_interaction.h"

#include "platform/ierror.h"

#include <atomic>

namespace {

class CSilentUser : public IUserInteraction {
public:
    void showMessage(const std::wstring&, MessageIcon) override {}
    bool askYesNo(const std::wstring&) override { return false; }
    std::wstring pickFile(const FileRequest&) override { return {}; }
    void beginWait() override {}
    void endWait() override {}
    void progress(int, int) override {}
};

CSilentUser g_silent;
std::atomic<IUserInteraction*> g_user{nullptr};

}  // namespace

IUserInteraction& userInteraction()
{
    IUserInteraction* user = g_user.load();
    return user ? *user : g_silent;
}

void setUserInteraction(IUserInteraction* user) { g_user.store(user); }

void showLinkError(const wchar_t* handler, IError* raised)
{
    const auto error = adoptError(raised);
    userInteraction().showMessage(std::wstring(handler) + L"\n" + error->format(), MessageIcon::Error);
}
