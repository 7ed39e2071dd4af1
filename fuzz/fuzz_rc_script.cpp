// Resource scripts: any text either compiles or fails with a message.
#include "rc_script.h"
#include "rc_templates.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static const std::string path = "/tmp/fuzz_rc_script." + std::to_string(getpid()) + ".rc";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    qorrc::Output output;
    try {
        qorrc::compile_script(path, {}, output);
        qorrc::add_string_blocks(output);
    } catch (const qorrc::Failure&) {
    }
    return 0;
}
