#include "VudeServices/ShortcutsService.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/ShortcutsFolder.h"
#include "VudeServices/ShortcutRunURL.h"
#include "VudeServices/ShortcutSeeder.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

ShortcutEntry entry(std::string name, std::optional<std::string> textInput = std::nullopt)
{
    return ShortcutEntry{Uuid::random(), std::move(name), std::nullopt, "sparkles", std::move(textInput)};
}

class ShortcutsServiceTest : public ::testing::Test {
protected:
    ShortcutsServiceTest()
        : root(temporary.path().toStdString())
    {
    }

    // A stand-in runner: a shell script in the scratch folder.
    fs::path tool(const std::string& body, fs::perms permissions = fs::perms(0755))
    {
        const fs::path path = root / ("tool-" + std::to_string(++tools));
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, permissions);
        return path;
    }

    std::unique_ptr<ShortcutsService> makeService(fs::path toolPath = {})
    {
        ShortcutsService::Options options;
        options.applicationSupport = root / "support";
        options.tool = toolPath.empty() ? fs::path("/nonexistent/runner") : toolPath;
        auto service = std::make_unique<ShortcutsService>("Vude", options);
        service->setOnChange([this](const std::vector<ShortcutEntry>& chosen) { changes.push_back(chosen); });
        QObject::connect(service.get(), &ShortcutsService::chosenChanged, [this] { ++signalCount; });
        return service;
    }

    std::vector<std::string> availableFrom(ShortcutsService& service)
    {
        std::optional<std::vector<std::string>> names;
        service.available([&names](std::vector<std::string> result) { names = std::move(result); });
        EXPECT_TRUE(testsupport::waitUntil([&names] { return names.has_value(); }));
        return names.value_or(std::vector<std::string>{"<no answer>"});
    }

    QTemporaryDir temporary;
    fs::path root;
    int tools = 0;
    std::vector<std::vector<ShortcutEntry>> changes;
    int signalCount = 0;
};

TEST_F(ShortcutsServiceTest, TheListingIsTrimmedAndSortedWithDuplicatesKept)
{
    auto service = makeService(tool("printf 'zeta  \\n\\n   \\n\\tAlpha\\t\\nbeta\\nAlpha\\n'; echo noise >&2"));
    EXPECT_TRUE(service->canList());
    EXPECT_EQ(availableFrom(*service), (std::vector<std::string>{"Alpha", "Alpha", "beta", "zeta"}));
}

TEST_F(ShortcutsServiceTest, ARunnerThatCannotListGivesAnEmptyList)
{
    struct Case {
        const char* why;
        fs::path tool;
        bool canList;
    };
    const Case cases[] = {
        {"a failing runner, whatever it printed", tool("echo Alpha; exit 1"), true},
        {"a runner killed by a signal", tool("echo Alpha; kill -9 $$"), true},
        {"a runner that is not executable", tool("echo Alpha", fs::perms(0644)), false},
        {"a folder", root, false},
        {"no runner at all", root / "missing", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        auto service = makeService(row.tool);
        EXPECT_EQ(service->canList(), row.canList);
        EXPECT_EQ(availableFrom(*service), std::vector<std::string>{});
        EXPECT_EQ(ShortcutsService::listAvailable(row.tool), std::vector<std::string>{});
    }
}

TEST_F(ShortcutsServiceTest, TheListingIsReadAsUtf8AndTrimmedOfSpacesOnly)
{
    struct Case {
        const char* why;
        std::string output;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"bad bytes are replaced", "bad \xFF name\n", {"bad \xEF\xBF\xBD name"}},
        {"space separators are trimmed", "\xC2\xA0" "Nbsp\xE2\x80\x83\n", {"Nbsp"}},
        {"a carriage return is no blank", "dos\r\n", {"dos\r"}},
        {"inner spaces stay", "  Lock  Screen \n", {"Lock  Screen"}},
        {"no final line feed", "last", {"last"}},
        {"nothing", "", {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(ShortcutsService::parseListing(row.output), row.names);
    }
}

TEST_F(ShortcutsServiceTest, AddingANameAlreadyChosenChangesNeitherTheListNorTheFile)
{
    auto service = makeService();
    service->add(entry("Lock Screen"));
    service->add(entry("Caf\xC3\xA9"));
    const auto chosen = service->chosen();
    fs::remove(service->url());
    changes.clear();
    signalCount = 0;

    service->add(entry("Lock Screen"));
    service->add(entry("Cafe\xCC\x81")); // the same name, spelled with a combining accent
    EXPECT_EQ(service->chosen(), chosen);
    EXPECT_FALSE(fs::exists(service->url())) << "nothing was saved";
    EXPECT_TRUE(changes.empty()) << "onChange is not called";
    EXPECT_EQ(signalCount, 0);

    service->add(entry("lock screen"));
    EXPECT_EQ(service->chosen().size(), 3u) << "letter case makes another name";
    EXPECT_TRUE(fs::exists(service->url()));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(signalCount, 1);
}

TEST_F(ShortcutsServiceTest, RemoveAndUpdateFollowTheIdentity)
{
    auto service = makeService();
    const auto a = entry("A");
    const auto b = entry("B");
    service->add(a);
    service->add(b);
    fs::remove(service->url());
    changes.clear();
    signalCount = 0;

    service->remove(entry("A")); // same name, another id
    EXPECT_EQ(service->chosen().size(), 2u);
    EXPECT_TRUE(fs::exists(service->url())) << "a remove that removed nothing still writes";
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(signalCount, 0) << "but the list did not change";

    auto renamed = b;
    renamed.customName = "Bee";
    service->update(renamed);
    EXPECT_EQ(service->chosen()[1].displayName(), "Bee");
    service->update(entry("C"));
    EXPECT_EQ(changes.size(), 2u) << "an unknown id is not saved";

    service->remove(a);
    ASSERT_EQ(service->chosen().size(), 1u);
    EXPECT_EQ(service->chosen()[0], renamed);
    EXPECT_EQ(signalCount, 2);
}

TEST_F(ShortcutsServiceTest, TheFileRoundTripsAndABadFileIsAnEmptyList)
{
    {
        auto service = makeService();
        service->add(ShortcutEntry{*Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), "Say", "Hi", "timer",
                                   std::string(" ")});
        service->add(ShortcutEntry{*Uuid::parse("00000000-0000-0000-0000-000000000001"), "Plain", std::nullopt,
                                   "sparkles", std::nullopt});
        EXPECT_EQ(readFile(service->url()),
                  R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","shortcutName":"Say","customName":"Hi",)"
                  R"("symbol":"timer","textInput":" "},)"
                  R"({"id":"00000000-0000-0000-0000-000000000001","shortcutName":"Plain","symbol":"sparkles"}])");
    }
    const auto reloaded = makeService();
    ASSERT_EQ(reloaded->chosen().size(), 2u);
    EXPECT_EQ(reloaded->chosen()[0].textInput, " ");
    EXPECT_EQ(reloaded->chosen()[1].customName, std::nullopt);

    struct Case {
        const char* why;
        std::string content;
        std::size_t count;
    };
    const Case cases[] = {
        {"optional keys may be null or absent; unknown keys are ignored",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","shortcutName":"A","symbol":"s","customName":null,"x":1}])", 1},
        {"a missing symbol spoils the whole file",
         R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","shortcutName":"A","symbol":"s"},)"
         R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5E","shortcutName":"B"}])", 0},
        {"a wrong type spoils it", R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","shortcutName":"A","symbol":"s","textInput":5}])", 0},
        {"a bad id spoils it", R"([{"id":"nope","shortcutName":"A","symbol":"s"}])", 0},
        {"not an array", R"({"id":"x"})", 0},
        {"not JSON", "[{", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        ASSERT_TRUE(AtomicFile::write(root / "support" / "Vude" / "shortcuts.json", row.content));
        auto service = makeService();
        EXPECT_EQ(service->chosen().size(), row.count);
        if (row.count == 0) {
            service->add(entry("Fresh"));
            EXPECT_EQ(decodeShortcutEntries(readFile(service->url())).value_or(std::vector<ShortcutEntry>{}).size(),
                      1u)
                << "the next save replaces the bad file";
        }
    }
}

TEST(ShortcutRunURLTest, TheInputGoesWithTheNameOnlyWhenThereIsSome)
{
    struct Case {
        std::optional<std::string> textInput;
        std::string url;
    };
    const Case cases[] = {
        {std::nullopt, "shortcuts://run-shortcut?name=Say%20Hi"},
        {std::string(), "shortcuts://run-shortcut?name=Say%20Hi"},
        {std::string(" "), "shortcuts://run-shortcut?name=Say%20Hi&input=text&text=%20"},
        {std::string("a&b=c+d#e%f/g?"), "shortcuts://run-shortcut?name=Say%20Hi&input=text&text=a%26b%3Dc%2Bd%23e%25f/g?"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(ShortcutsService::runURL(entry("Say Hi", row.textInput)), row.url);
    }
}

TEST(ShortcutRunURLTest, ParsingGivesBackWhatWasSent)
{
    for (const std::string name : {"Say Hi", "A&B=C", "100% + more", "Caf\xC3\xA9 \xF0\x9F\x8E\xB5", "../x"}) {
        for (const std::optional<std::string>& text :
             {std::optional<std::string>(), std::optional<std::string>(" "), std::optional<std::string>("x&text=y\n")}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ShortcutRunURL::parse(ShortcutRunURL::make(name, text)), (ShortcutRunURL::Request{name, text}));
        }
    }
    for (const char* bad : {"https://run-shortcut?name=a", "shortcuts://other?name=a", "shortcuts://run-shortcut",
                            "shortcuts://run-shortcut?input=text&text=a", "shortcuts://run-shortcut?name=",
                            "shortcuts://run-shortcut?name=a%2", "shortcuts://run-shortcut?name=a%zz",
                            "shortcuts://run-shortcutx?name=a"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ShortcutRunURL::parse(bad), std::nullopt);
    }
    EXPECT_EQ(ShortcutRunURL::parse("shortcuts://run-shortcut?name=a&text=b"), (ShortcutRunURL::Request{"a", std::nullopt}))
        << "text without input=text is no input";
}

// The service and the real runner together, over the test's own
// Application Support folder.
class ShortcutsEndToEndTest : public ::testing::Test {
protected:
    ShortcutsEndToEndTest()
        : folder(ShortcutsFolder::directory())
        , marker(fs::path(scratch.path().toStdString()) / "marker")
    {
        fs::create_directories(folder);
        const fs::path script = folder / "Echo Input";
        std::ofstream(script) << "#!/bin/sh\nprintf '[%s]' \"$(cat)\" > '" << marker.string() << ".tmp'\n"
                              << "mv '" << marker.string() << ".tmp' '" << marker.string() << "'\n";
        fs::permissions(script, fs::perms(0755));
    }
    ~ShortcutsEndToEndTest() override { fs::remove(folder / "Echo Input"); }

    std::string ranWith(ShortcutsService& service, const ShortcutEntry& shortcut)
    {
        fs::remove(marker);
        service.run(shortcut);
        EXPECT_TRUE(testsupport::waitUntil([this] { return fs::exists(marker); }));
        return readFile(marker);
    }

    QTemporaryDir scratch;
    fs::path folder;
    fs::path marker;
};

TEST_F(ShortcutsEndToEndTest, ListsAndRunsThroughTheRunner)
{
    ShortcutsService::Options options;
    options.applicationSupport = scratch.path().toStdString();
    options.tool = VUDE_SHORTCUTS_RUNNER;
    ShortcutsService service("Vude", options);
    ASSERT_TRUE(service.canList());

    std::optional<std::vector<std::string>> names;
    service.available([&names](std::vector<std::string> result) { names = std::move(result); });
    ASSERT_TRUE(testsupport::waitUntil([&names] { return names.has_value(); }));
    EXPECT_NE(std::find(names->begin(), names->end(), "Echo Input"), names->end());

    EXPECT_EQ(ranWith(service, entry("Echo Input", std::string(" "))), "[ ]") << "one space is still sent";
    EXPECT_EQ(ranWith(service, entry("Echo Input", std::string("two\nlines"))), "[two\nlines]");
    EXPECT_EQ(ranWith(service, entry("Echo Input")), "[]");
    EXPECT_EQ(ranWith(service, entry("Echo Input", std::string())), "[]");
}

} // namespace
