// The command parser: splits the byte stream into commands, characters and
// raster data, one step at a time, so the printer can stop between any two
// commands (off line, busy engine) and go on later. It keeps no copy of the
// stream: a step either consumes a whole command or asks for more bytes.
// Unknown and malformed sequences are skipped and counted, never trusted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qoremu {

enum class Op {
    LineFeed, FormFeed, Tab, Cancel,
    Initialise, RightSpacing, PrintMode, AbsolutePosition, RelativePosition, Underline,
    DefaultLineSpacing, LineSpacing, Emphasis, FeedDots, FeedLines, PageMode, StandardMode,
    Direction, PrintArea, Justification, CodeTable, PrintPage,
    KanjiPrintMode, KanjiOn, KanjiOff, KanjiCodeSystem, KanjiSpacing,
    FeedToMark, CharacterSize, VerticalPosition, QualityDensity, LeftMargin, MotionUnits,
    Cut, FeedAndCut, PrintWidth, StatusBack,
    VendorSetting3D, VendorSetting4F, HardwareReset, CollectionTime, WriteSettings, ReadSettings,
    Recovery, TestPrint, Identification,
};

struct Command {
    Op op;
    std::array<uint8_t, 8> arg{};
    std::string text;  // Identification only
    // Little-endian 16-bit argument at byte i.
    int word(size_t i) const { return arg[i] | arg[i + 1] << 8; }
};

// Single: a byte under the character-font setting; HalfWidth: a single
// byte met in kanji mode (ASCII or JIS X 0201 katakana); Double: a kanji.
enum class CharKind { Single, HalfWidth, Double };

struct RasterHeader {
    int mode = 0;  // bit 0 double width, bit 1 double height
    int bytes_per_row = 0;
    int rows = 0;
};

class CommandSink {
public:
    virtual ~CommandSink() = default;
    virtual void command(const Command& command) = 0;
    // A character code: one byte, or lead byte << 8 | trail byte.
    virtual void character(uint16_t code, CharKind kind) = 0;
    virtual void raster_begin(const RasterHeader& header) = 0;
    // Successive pieces of the raster data, rows x bytes in all.
    virtual void raster_data(const uint8_t* data, size_t size) = 0;
};

struct ParserCounters {
    uint64_t commands = 0;
    uint64_t characters = 0;
    uint64_t unknown = 0;
    uint64_t malformed = 0;
};

class Parser {
public:
    explicit Parser(CommandSink* sink) : sink_(sink) {}

    // Handles what `data` begins with: one command, one character, or a
    // piece of raster data. Returns the bytes consumed; 0 means the bytes
    // are the start of a command and more are needed.
    size_t step(const uint8_t* data, size_t size);
    // True while inside the data of a raster image.
    bool in_data() const { return raster_left_ > 0; }
    // Back to power-on: kanji mode off, Shift-JIS. Raster data in progress
    // stays data.
    void reset_modes();
    // The stream is cut here (resynchronisation): raster data in progress
    // ends, and `cut_command` counts a command left incomplete as malformed.
    void abandon(bool cut_command);
    const ParserCounters& counters() const { return counters_; }

private:
    size_t escape(const uint8_t* data, size_t size);
    size_t group_separator(const uint8_t* data, size_t size);
    size_t file_separator(const uint8_t* data, size_t size);
    size_t device_control2(const uint8_t* data, size_t size);
    size_t identification(const uint8_t* data, size_t size);
    size_t raster(const uint8_t* data, size_t size);
    size_t text(const uint8_t* data, size_t size);
    size_t emit(Op op, const uint8_t* args, size_t count, size_t length);
    size_t unknown(size_t length);
    size_t malformed(size_t length);

    CommandSink* sink_;
    ParserCounters counters_;
    uint64_t raster_left_ = 0;
    bool raster_skip_ = false;
    bool kanji_ = false;
    bool shift_jis_ = true;
};

}  // namespace qoremu
