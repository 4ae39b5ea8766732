// The real language module, a recording front end with a fake clock, and a
// temporary debug log.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/messages/event_sound.h"
#include "program/messages/language_module.h"
#include "program/messages/show_message.h"
#include "program/messages/test_seams.h"
#include "support/recording_shell_port.h"
#include "support/temp_dir.h"

namespace dravik::test {

inline std::string LanguageModulePath() {
    const char* build = std::getenv("DRAVIK_BUILD_DIR");
    return std::string(build ? build : ".") + "/bin/liblangres.so";
}

class MessagesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(language_.LoadFrom(LanguageModulePath())) << language_.LoadError();
        port_ = std::make_unique<RecordingShellPort>(&clock_);
        messages::MessageContext context;
        context.language = &language_;
        context.caption = "Dravik test";
        context.clock = clock_.AsClock();
        messages::SetMessageContext(context);
        port::InstallShellPort(port_.get());
        savedLog_ = diag::LogPath();
        diag::SetLogPath(dir_.File("messages.DBG"));
        messages::test_seams::SetSoundFileLookup([this](const std::string& key) {
            lookedUp_.push_back(key);
            return key.find("Prompt") != std::string::npos ? std::string("/sounds/prompt.wav") : std::string();
        });
    }
    void TearDown() override {
        port::InstallShellPort(nullptr);
        messages::SetMessageContext({});
        messages::test_seams::SetSoundFileLookup(nullptr);
        diag::DebugMode = false;
        diag::TrackAllocations = false;
        diag::SetLogPath(savedLog_);
    }
    std::string Log() const { return dir_.Read("messages.DBG"); }

    TempDir dir_;
    FakeClock clock_;
    messages::LanguageModule language_;
    std::unique_ptr<RecordingShellPort> port_;
    std::string savedLog_;
    std::vector<std::string> lookedUp_;  // written on the UI thread, read after joins
};

}  // namespace dravik::test
