// The language module against its callers: every message id the program
// and the device library raise has a text, and every text's printf
// conversions fit the arguments its callers pass, so formatting never reads
// an argument that was not given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "program/messages/language_module.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"

namespace dravik::test {
namespace {

using messages::LanguageModule;

std::string ModulePath() {
    const char* build = std::getenv("DRAVIK_BUILD_DIR");
    return std::string(build ? build : ".") + "/bin/liblangres.so";
}

class LanguageTextsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module_.LoadFrom(ModulePath())) << module_.LoadError(); }
    LanguageModule module_;
};

// Formats `format` with sample values of the documented argument letters
// (at most three arguments are documented for any message).
std::string FormatWithSamples(unsigned id, const std::string& format, const std::string& letters) {
    auto value = [&](std::size_t i) -> bool { return i < letters.size() && letters[i] == 's'; };
    auto call = [&](auto... args) {
        auto helper = [&](unsigned n, ...) {
            va_list list;
            va_start(list, n);
            std::string text = messages::FormatMessageText(n, format, list);
            va_end(list);
            return text;
        };
        return helper(id, args...);
    };
    // Pass three arguments of the documented types; extra ones are ignored.
    const char* s = "SAMPLE";
    int d = 4242;
    bool t0 = value(0), t1 = value(1), t2 = value(2);
    if (t0 && t1 && t2) return call(s, s, s);
    if (t0 && t1) return call(s, s, d);
    if (t0 && t2) return call(s, d, s);
    if (t1 && t2) return call(d, s, s);
    if (t0) return call(s, d, d);
    if (t1) return call(d, s, d);
    if (t2) return call(d, d, s);
    return call(d, d, d);
}

TEST_F(LanguageTextsTest, EveryMessageHasATextThatFitsItsArguments) {
    std::size_t count = 0;
    const messages::MessageSpec* entries = messages::MessageSpecs(count);
    ASSERT_GT(count, 40u);
    for (std::size_t i = 0; i < count; ++i) {
        const auto& entry = entries[i];
        SCOPED_TRACE("message " + std::to_string(entry.id));
        std::string text = module_.Text(entry.id);
        EXPECT_FALSE(text.empty());
        EXPECT_LE(text.size(), messages::kMaxLoadedText);
        std::string why;
        EXPECT_TRUE(messages::FormatFitsArguments(text, entry.arguments, &why)) << why << "\n" << text;

        std::string letters;
        ASSERT_TRUE(messages::FormatArguments(text, letters));
        std::string formatted = FormatWithSamples(entry.id, text, entry.arguments);
        // Every conversion was replaced: the samples show up, no '%' is left
        // but those the text writes as "%%".
        std::size_t samples = 0;
        for (std::size_t at = 0; (at = formatted.find("SAMPLE", at)) != std::string::npos; at += 6) ++samples;
        EXPECT_EQ(samples, static_cast<std::size_t>(std::count(letters.begin(), letters.end(), 's')));
        std::size_t percents = std::count(formatted.begin(), formatted.end(), '%');
        std::size_t literal = 0;
        for (std::size_t at = 0; (at = text.find("%%", at)) != std::string::npos; at += 2) ++literal;
        EXPECT_EQ(percents, literal) << formatted;
    }
}

TEST_F(LanguageTextsTest, EveryMessageTextInTheModuleIsACataloguedMessage) {
    // Texts that are not messages: button labels, the cancel status line,
    // and the main window's texts (menu help of command 99, the status
    // bar's device part and tips, the list's column titles, menu help 901),
    // the file list's status lines, the options dialog's notes, and the
    // status lines of the volume being read (129, 130, 173, 177, 221), of
    // a UDF descriptor search (251), the UDF block scan's folder name and
    // status (180, 184), the overlap and duplicate passes (242, 246-248) and
    // the intensive VAT search (114), the about box's version (122) and the
    // advice topics after a scan (1301-1308). Status texts are format-checked
    // against ShowStatus's own argument table.
    const std::set<unsigned> notMessages = {215, 902, 903, 99,  169, 901, 904, 1006, 1101, 1102, 123, 125, 149, 151,
                                            152, 236, 129, 130, 173, 177, 221, 251, 180, 184, 242, 246, 247, 248, 114,
                                            122, 1301, 1302, 1303, 1305, 1306, 1307, 1308};
    for (unsigned id = 1; id < 8000; ++id) {
        if (module_.Text(id).empty() || notMessages.count(id)) continue;
        EXPECT_NE(messages::FindMessageSpec(id), nullptr) << "text " << id << " has no documented arguments";
    }
}

TEST_F(LanguageTextsTest, DeviceLibraryTextsAreItsOwnWording) {
    EXPECT_EQ(module_.Text(3007), "Error reading sector %d from %s\n%s");
    EXPECT_EQ(module_.Text(3001), "There are no devices available to ASPI.  Could a device be disconnected?");
    EXPECT_EQ(module_.Text(3015), "%s could not be loaded.\nPlease restart your computer to pick up the new driver");
}

TEST_F(LanguageTextsTest, SenseTextsCoverTheDriveCodesAndNeedNoArguments) {
    const std::pair<unsigned, const char*> fixed[] = {
        {0x00, "No error (\?\?\?)"},
        {0x04, "Unit not ready"},
        {0x06, "No position reference found"},
        {0x11, "Unrecoverable read error"},
        {0x15, "Positioning error"},
        {0x20, "Command not supported"},
        {0x21, "Block past end of recording on media"},
        {0x24, "Command not accepted"},
        {0x26, "Invalid data for command"},
        {0x64, "Drive unable to recognize sector"},
        {0x6F, "Read of scrambled sector not allowed"},
    };
    for (auto [asc, text] : fixed) EXPECT_EQ(module_.Text(8000 + asc), text) << asc;
    for (unsigned asc : {0x3Au, 0x28u, 0x30u, 0x57u, 0x73u}) EXPECT_FALSE(module_.Text(8000 + asc).empty()) << asc;
    EXPECT_EQ(module_.Text(8000 + 0xFE), "");  // vendor-specific codes have none
    for (unsigned asc = 0; asc < 256; ++asc) {
        std::string text = module_.Text(8000 + asc);
        std::string letters;
        EXPECT_TRUE(messages::FormatArguments(text, letters) && letters.empty()) << asc;
        // The sense text and "\nSense=xx yy" share a 150-character buffer.
        EXPECT_LE(text.size() + 13, 150u) << asc;
    }
}

TEST_F(LanguageTextsTest, QuestionLabelsHaveOneLabelPerButton) {
    std::string yesNo = module_.Text(902), threeWay = module_.Text(903);
    EXPECT_EQ(std::count(yesNo.begin(), yesNo.end(), ';'), 1);
    EXPECT_EQ(std::count(threeWay.begin(), threeWay.end(), ';'), 2);
}

TEST_F(LanguageTextsTest, AdviceTopicsUseOnlyTheirPlaceholdersAndTheVersionTextTwoStrings) {
    for (unsigned id : {1301u, 1302u, 1303u, 1305u, 1306u, 1307u, 1308u}) {
        const std::string text = module_.Text(id);
        EXPECT_FALSE(text.empty()) << id;
        for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
            ASSERT_LT(at + 1, text.size()) << id;
            EXPECT_NE(std::string("cenps").find(text[at + 1]), std::string::npos) << id << ": %" << text[at + 1];
        }
    }
    std::string letters;
    EXPECT_TRUE(messages::FormatArguments(module_.Text(122), letters));
    EXPECT_EQ(letters, "ss");
}

TEST(LanguageModuleTest, ReportsItsLanguageAndAnswersMissingTextsWithEmpty) {
    LanguageModule module;
    EXPECT_FALSE(module.Loaded());
    EXPECT_EQ(module.Text(107), "");
    EXPECT_EQ(module.LanguageCode(), "");
    ASSERT_TRUE(module.LoadFrom(ModulePath())) << module.LoadError();
    EXPECT_TRUE(module.Loaded());
    EXPECT_EQ(module.LanguageCode(), "ENU");
    EXPECT_EQ(module.Text(65535), "");
    EXPECT_EQ(module.Text(0), "");
    module.Unload();
    EXPECT_EQ(module.Text(107), "");
}

TEST(LanguageModuleTest, AMissingModuleIsReportedClearly) {
    LanguageModule module;
    EXPECT_FALSE(module.LoadFrom("/nonexistent/liblangres.so"));
    EXPECT_FALSE(module.Loaded());
    EXPECT_NE(module.LoadError().find("/nonexistent/liblangres.so"), std::string::npos) << module.LoadError();
    // A library that is not a language module is refused as well.
    EXPECT_FALSE(module.LoadFrom("libc.so.6"));
    EXPECT_NE(module.LoadError().find("GetLanguageString"), std::string::npos) << module.LoadError();
    // The test program's folder holds no module and the search path none.
    EXPECT_FALSE(module.Load());
    EXPECT_NE(module.LoadError().find("liblangres.so"), std::string::npos);
}

}  // namespace
}  // namespace dravik::test
