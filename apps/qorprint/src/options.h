// qorprint's command line: which printer, which files, and the device-mode
// settings a user changes.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PrintOptions {
    std::string printer;               // empty: $QOR_PRINTER, else the only printer
    std::vector<std::string> files;
    std::optional<std::string> paper;  // paper code or name from the description
    std::optional<int> orientation;    // 1 portrait, 2 landscape
    std::optional<int> dither;         // 1..5
    std::optional<int> bright;         // brightness, 150 neutral
    std::optional<int> density;        // 0..6
    std::optional<int> quality;        // 0 normal, 1 high
    std::optional<int> font;           // device fonts: 0 none, 1 24-dot, 2 16-dot
    std::optional<int> cut;            // 0 full, 1 partial, 2 none
    std::optional<int> mode;           // 0 standard, 1 page mode
    std::optional<int> kind;           // media kind
    std::string title;                 // document name; default: the first file's name
    std::string face = "DejaVu Sans Mono";  // TrueType text
    int text_height = 24;                   // TrueType text, dots
    bool scale = true;                      // pictures to the printable width
    bool raw_text = false;                  // print files that do not read as text
    int max_pages = 50;                     // a larger job is refused
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool list_papers = false;
    bool properties = false;  // edit the device mode in the printer's document sheet first
};

inline constexpr int kDefaultMaxPages = 50;

// Parses the arguments after the program name. False with a message for
// an unknown option, a missing or malformed value, or no files.
bool ParseOptions(const std::vector<std::string>& args, PrintOptions* options, std::string* error);

std::string UsageText();
// The line a usage error ends with, pointing at --help.
std::string UsageHint();
std::string VersionText();
