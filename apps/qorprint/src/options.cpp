#include "options.h"
#include "qor/support/version.h"

#include <charconv>
#include <map>

namespace {

bool ParseNumber(const std::string& text, int low, int high, int* value) {
    int parsed = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// A word from `names`, or a number within the names' values.
bool ParseChoice(const std::string& text, const std::map<std::string, int>& names, int low, int high,
                 int* value) {
    if (auto it = names.find(text); it != names.end()) {
        *value = it->second;
        return true;
    }
    return ParseNumber(text, low, high, value);
}

struct Choice {
    const char* option;
    std::optional<int> PrintOptions::*field;
    std::map<std::string, int> names;
    int low;
    int high;
    const char* expected;
};

const std::vector<Choice>& Choices() {
    static const std::vector<Choice> choices = {
        {"--orientation", &PrintOptions::orientation, {{"portrait", 1}, {"landscape", 2}}, 1, 2,
         "portrait or landscape"},
        {"--dither",
         &PrintOptions::dither,
         {{"threshold", 1}, {"clustered", 2}, {"dispersed", 3}, {"patterns", 4}, {"diffusion", 5}},
         1,
         5,
         "threshold, clustered, dispersed, patterns, diffusion or 1..5"},
        {"--brightness", &PrintOptions::bright, {}, 0, 255, "a number 0..255 (150 is neutral)"},
        {"--density", &PrintOptions::density, {}, 0, 6, "a number 0..6"},
        {"--quality", &PrintOptions::quality, {{"normal", 0}, {"high", 1}}, 0, 1, "normal or high"},
        {"--device-font", &PrintOptions::font, {{"none", 0}, {"24", 1}, {"16", 2}}, 0, 0, "none, 24 or 16"},
        {"--cut", &PrintOptions::cut, {{"full", 0}, {"partial", 1}, {"none", 2}}, 0, 2, "full, partial or none"},
        {"--mode", &PrintOptions::mode, {{"standard", 0}, {"page", 1}}, 0, 1, "standard or page"},
        {"--kind", &PrintOptions::kind, {}, 0, 255, "a media kind number 0..255"},
    };
    return choices;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, PrintOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool has_value = false;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                has_value = true;
            }
        }
        auto take_value = [&]() {
            if (has_value) return true;
            if (i + 1 >= args.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            options->help = true;
        } else if (arg == "--version") {
            options->version = true;
        } else if (arg == "--no-scale") {
            options->scale = false;
        } else if (arg == "--raw-text") {
            options->raw_text = true;
        } else if (arg == "--max-pages") {
            if (!take_value()) return false;
            if (!ParseNumber(value, 1, 1000000, &options->max_pages)) {
                *error = "--max-pages wants a number of pages 1..1000000, not '" + value + "'";
                return false;
            }
        } else if (arg == "-q" || arg == "--quiet") {
            options->quiet = true;
        } else if (arg == "--list-papers") {
            options->list_papers = true;
        } else if (arg == "--properties") {
            options->properties = true;
        } else if (arg == "-P" || arg == "--printer") {
            if (!take_value()) return false;
            options->printer = value;
        } else if (arg == "--paper") {
            if (!take_value()) return false;
            options->paper = value;
        } else if (arg == "--title") {
            if (!take_value()) return false;
            options->title = value;
        } else if (arg == "--face") {
            if (!take_value()) return false;
            options->face = value;
        } else if (arg == "--text-height") {
            if (!take_value()) return false;
            if (!ParseNumber(value, 8, 400, &options->text_height)) {
                *error = "--text-height wants a number of dots 8..400, not '" + value + "'";
                return false;
            }
        } else if (arg == "--") {
            options->files.insert(options->files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            bool known = false;
            for (const Choice& choice : Choices()) {
                if (arg != choice.option) continue;
                known = true;
                if (!take_value()) return false;
                int parsed = 0;
                if (!ParseChoice(value, choice.names, choice.low, choice.high, &parsed)) {
                    *error = arg + " wants " + choice.expected + ", not '" + value + "'";
                    return false;
                }
                options->*choice.field = parsed;
            }
            if (!known) {
                *error = "unknown option " + arg;
                return false;
            }
        } else {
            options->files.push_back(arg);
        }
    }
    if (options->files.empty() && !options->help && !options->version && !options->list_papers) {
        *error = "no files to print";
        return false;
    }
    return true;
}

std::string UsageText() {
    return "Usage: qorprint [options] FILE...\n"
           "Prints PNG and JPEG images (scaled to the printable width) and text files\n"
           "(UTF-8 or the ANSI code page) on a QOR ZEM-D printer, all files in one job.\n"
           "Files are checked before anything is sent: empty files, files that are not\n"
           "text, damaged images and jobs of more than 50 pages are refused.\n"
           "\n"
           "  -P, --printer NAME       the printer (default: $QOR_PRINTER, else the only one)\n"
           "      --paper CODE|NAME    a paper of the printer's description (--list-papers);\n"
           "                           default: the printer's own paper\n"
           "      --orientation portrait|landscape\n"
           "      --dither threshold|clustered|dispersed|patterns|diffusion\n"
           "      --brightness 0..255  150 is neutral; higher is lighter\n"
           "      --density 0..6       print density\n"
           "      --quality normal|high\n"
           "      --device-font none|24|16\n"
           "                           text in the printer's own 24- or 16-dot font\n"
           "                           (default: the printer's setting); none: TrueType\n"
           "      --face NAME          TrueType face for text (default DejaVu Sans Mono); characters\n"
           "                           it lacks come from another installed face\n"
           "      --text-height DOTS   TrueType text height (default 24)\n"
           "      --cut full|partial|none\n"
           "                           cut after each page (default: the printer's setting)\n"
           "      --mode standard|page page mode composes each page before printing it\n"
           "      --kind N             media kind (1: feed to the black mark after each page)\n"
           "      --title TEXT         the job's name in the queue\n"
           "      --no-scale           print images at one dot per pixel (wider ones are cut,\n"
           "                           which is reported)\n"
           "      --raw-text           print files that do not read as text all the same\n"
           "      --max-pages N        allow a job of up to N pages (default 50)\n"
           "      --list-papers        list the papers that fit the printer and stop\n"
           "      --properties         edit the settings in the printer's document sheet,\n"
           "                           which opens with the options given; what it returns\n"
           "                           prints (Cancel prints nothing)\n"
           "  -q, --quiet              no progress messages\n"
           "  -h, --help               this text\n"
           "      --version            the program's version\n"
           "\n"
           "Exit status: 0 printed, 1 printing failed, 2 bad arguments, files or printer.\n";
}

std::string UsageHint() { return "Try 'qorprint --help' for the options.\n"; }

std::string VersionText() { return std::string("qorprint (QOR ZEM-D suite) ") + qor::kSuiteVersion + "\n"; }
