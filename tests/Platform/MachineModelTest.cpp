#include "Platform/Core/MachineModel.h"

#include "FakeSysfs.h"

#include <gtest/gtest.h>

namespace {

TEST(MachineModel, ReadsTheProductNameOrNothing)
{
    struct Row {
        const char* why;
        std::optional<std::string> file; // none: no file
        std::string expected;
    };
    const Row rows[] = {
        {"a model", std::string("20XWCTO1WW\n"), "20XWCTO1WW"},
        {"padding around it", std::string("  XPS 13 9310  \n"), "XPS 13 9310"},
        {"no file", std::nullopt, ""},
        {"an empty file", std::string(""), ""},
        {"cut at the first zero byte", std::string("Mac15,12\0junk", 13), "Mac15,12"},
        {"invalid UTF-8 is replaced", std::string("Model \xff\n"), "Model \xef\xbf\xbd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        testsupport::FakeSysfs sys;
        if (row.file) {
            const auto folder = sys.root() / "class" / "dmi" / "id";
            std::filesystem::create_directories(folder);
            testsupport::FakeSysfs::write(folder / "product_name", *row.file);
        }
        EXPECT_EQ(machineModel(sys.root()), row.expected);
    }
}

} // namespace
