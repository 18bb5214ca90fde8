// The shortcuts runner: lists the user's shortcuts and runs one of them.
//
//   vude-shortcuts list          one name per line, exit status 0
//   vude-shortcuts run <name>    runs the shortcut <name>, handing it this
//                                program's standard input as its input
//
// A shortcut is an executable file in Application Support/Vude/Shortcuts
// ($XDG_DATA_HOME/Vude/Shortcuts). `run` accepts only a name its own listing
// holds; the file replaces this program (no shell, no second process), so the
// shortcut's exit status is the runner's.
//
// Exit status: 0 done; 1 the folder cannot be read or no such shortcut;
// 2 wrong use or a refused name; 126 the shortcut could not be started.

#include "Platform/Desktop/ShortcutsFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kProgram = "vude-shortcuts";

int usage()
{
    std::fprintf(stderr, "usage: %s list\n       %s run <name>   (the input on standard input)\n", kProgram,
                 kProgram);
    return 2;
}

int list(const std::filesystem::path& folder)
{
    const auto names = ShortcutsFolder::list(folder);
    if (!names) {
        std::fprintf(stderr, "%s: cannot read %s\n", kProgram, ShortcutsFolder::escaped(names.error()).c_str());
        return 1;
    }
    for (const auto& name : *names) {
        std::fputs(name.c_str(), stdout);
        std::fputc('\n', stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write the list: %s\n", kProgram, std::strerror(errno));
        return 1;
    }
    return 0;
}

int run(const std::filesystem::path& folder, std::string_view name)
{
    // The name comes from whoever called us: echoed as it is, its control
    // bytes would drive the terminal that shows the message.
    const std::string shown = ShortcutsFolder::escaped(name);
    if (!ShortcutsFolder::isAcceptableName(name)) {
        std::fprintf(stderr, "%s: refusing the name \"%s\"\n", kProgram, shown.c_str());
        return 2;
    }
    const auto file = ShortcutsFolder::find(folder, name);
    if (!file) {
        std::fprintf(stderr, "%s: no shortcut named \"%s\" in %s\n", kProgram, shown.c_str(),
                     ShortcutsFolder::escaped(folder.string()).c_str());
        return 1;
    }
    std::string path = file->string();
    char* const arguments[] = {path.data(), nullptr};
    ::execv(path.c_str(), arguments);
    const int error = errno;
    std::fprintf(stderr, "%s: cannot run \"%s\": %s\n", kProgram, ShortcutsFolder::escaped(path).c_str(),
                 std::strerror(error));
    return 126;
}

} // namespace

int main(int argc, char** argv)
{
    const auto folder = ShortcutsFolder::directory();
    if (argc == 2 && std::string_view(argv[1]) == "list")
        return list(folder);
    if (argc == 3 && std::string_view(argv[1]) == "run")
        return run(folder, argv[2]);
    return usage();
}
