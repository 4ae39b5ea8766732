#include "program/messages/event_sound.h"

#include <cstdlib>

#include "messages_fixture.h"
#include "platform/registry_hive.h"
#include "program/messages/test_seams.h"

namespace dravik::test {
namespace {

// The per-user hive of a temporary settings folder.
class EventSoundTest : public MessagesFixture {
protected:
    void SetUp() override {
        MessagesFixture::SetUp();
        const char* old = std::getenv("DRAVIK_CONFIG_DIR");
        hadConfig_ = old != nullptr;
        if (old) savedConfig_ = old;
        setenv("DRAVIK_CONFIG_DIR", settings_.path().c_str(), 1);
        messages::test_seams::SetSoundFileLookup(nullptr);  // the registry store
    }
    void TearDown() override {
        if (hadConfig_)
            setenv("DRAVIK_CONFIG_DIR", savedConfig_.c_str(), 1);
        else
            unsetenv("DRAVIK_CONFIG_DIR");
        MessagesFixture::TearDown();
    }
    void SetSound(const std::string& event, const std::string& file) {
        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::Create(platform::HiveRoot::CurrentUser, messages::EventSoundKey(event),
                                                platform::KeyAccess::Full, key),
                  0);
        ASSERT_EQ(key.SetValue("", platform::REG_SZ, file), 0);
    }

    TempDir settings_;
    bool hadConfig_ = false;
    std::string savedConfig_;
};

TEST_F(EventSoundTest, PlaysTheFileNamedInTheUsersEventKey) {
    SetSound("ScanComplete", "/usr/share/sounds/done.wav");
    SetSound("Message", "");  // chosen "no sound"
    messages::PlayEventSound("ScanComplete");
    messages::PlayEventSound("Message");
    messages::PlayEventSound("Prompt");  // no key at all
    EXPECT_EQ(port_->Sounds(), std::vector<std::string>{"/usr/share/sounds/done.wav"});
}

TEST_F(EventSoundTest, NothingPlaysWithoutAFrontEnd) {
    SetSound("ScanComplete", "/usr/share/sounds/done.wav");
    port::InstallShellPort(nullptr);
    messages::PlayEventSound("ScanComplete");  // must not crash
    port::InstallShellPort(port_.get());
    EXPECT_TRUE(port_->Sounds().empty());
}

}  // namespace
}  // namespace dravik::test
