// qorctl cups-add: the CUPS queue is made by qorcups, which is built with
// CUPS next to qorctl; qorctl hands the command over to it.
#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace qorctl {

int cups_add(const Args& a) {
    if (a.size() != 1 && !(a.size() == 3 && a[1] == "--queue"))
        return usage_error("cups-add needs PRINTER [--queue NAME]");
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string tool = (self.parent_path() / "qorcups").string();
    std::vector<std::string> args = {tool, "add"};
    args.insert(args.end(), a.begin(), a.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    execv(tool.c_str(), argv.data());
    return fail_because("running " + tool, "it is not there (the tree was built without CUPS: libcups2-dev)");
}

}  // namespace qorctl
