// The custom paper size box without its window: the width presets, the
// length edit's digit filter and the length check.
#pragma once

#include "common/exdevmode.h"
#include "common/ppd.h"

#include <string>

// Why a length was refused: the message to show (string id) and the number
// it names; message 0 when the length passed.
struct LengthVerdict {
    UINT message = 0;
    int limit = 0;
    bool passed() const { return message == 0; }
};

// The longest length page mode allows on a paper `width_mm` wide; 0 when
// page mode sets no limit for that width.
int PageModeLengthLimit(LONG width_mm);

// Checks `user`'s PaperLength and, when it passes, sets its printable and
// physical length from it.
LengthVerdict CheckUserPaperLength(PaperMetrix* user, bool page_mode, const PpdData& ppd);

// The edit's text with everything but the digits 0..9 removed; only the
// first 32 characters are examined.
std::u16string DigitsOnly(const std::u16string& text);

// The box's state: the chosen preset and the length typed.
class CustomPaperBox {
public:
    CustomPaperBox(const EXDEVMODE& working, const PpdData& ppd);

    // Index of the preset whose width is the working paper's; -1 for none.
    int selected() const { return selected_; }
    const std::u16string& length_text() const { return length_text_; }
    WORD min_length() const { return ppd_.MINUserDef; }
    WORD max_length() const { return ppd_.MAXUserDef; }

    // A preset chosen from the width list: its length goes into the edit.
    void SelectPreset(int index);
    // The edit changed; the text after filtering, and whether it changed.
    bool EditLength(const std::u16string& text);
    // Restore defaults: the description's default preset.
    void RestoreDefaults();
    // OK: the working UserPaper becomes the chosen preset at the typed
    // length when the length check passes; otherwise it stays as it was.
    LengthVerdict Accept(EXDEVMODE* working) const;

private:
    const PpdData& ppd_;
    int selected_ = -1;
    std::u16string length_text_;
};
