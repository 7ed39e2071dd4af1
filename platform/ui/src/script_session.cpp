#include "script_session.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qorui {
namespace {

struct Script {
    bool active = false;
    std::vector<ScriptedBox> lines;
    size_t next = 0;
};

// Read when first needed and again whenever QOR_UI_SCRIPT names another
// file, so one test process can run several scripts in turn.
Script& script() {
    static Script loaded;
    static std::string loaded_path;
    const char* path = std::getenv("QOR_UI_SCRIPT");
    std::string wanted = path ? path : "";
    if (wanted == loaded_path) return loaded;
    loaded = Script{};
    loaded_path = wanted;
    if (wanted.empty()) return loaded;
    std::ifstream file(wanted, std::ios::binary);
    if (!file) fail("cannot read " + wanted);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    auto lines = parse_script(text.str(), error);
    if (!lines) fail(wanted + ": " + error);
    loaded.active = true;
    loaded.lines = std::move(*lines);
    return loaded;
}

}  // namespace

void fail(const std::string& why) {
    std::fprintf(stderr, "qorui: test script: %s\n", why.c_str());
    std::fflush(stderr);
    std::abort();
}

bool scripted() { return script().active; }

ScriptedBox expect(const ScriptedBox& shown) {
    Script& s = script();
    if (s.next >= s.lines.size()) fail("unexpected " + shown.kind + ": " + format_box(shown));
    const ScriptedBox& expected = s.lines[s.next++];
    bool same = expected.kind == shown.kind && (shown.kind == "menu" || expected.caption == shown.caption) &&
                (shown.kind != "box" || (expected.text == shown.text && expected.icon == shown.icon));
    if (!same) fail("expected " + format_box(expected) + "\n  shown " + format_box(shown));
    return expected;
}

void log_shown(const ScriptedBox& shown) {
    const char* path = std::getenv("QOR_UI_LOG");
    if (!path || !*path) return;
    std::ofstream log(path, std::ios::app | std::ios::binary);
    log << format_box(shown) << '\n';
}

}  // namespace qorui
