#include "custom_paper.h"

#include "driver_strings.h"

#include <string>

namespace {

constexpr size_t kFilteredChars = 32;
constexpr size_t kLengthChars = 3;

std::u16string Number(LONG value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

LONG NumberOf(const std::u16string& text) {
    LONG value = 0;
    for (size_t i = 0; i < text.size() && i < kLengthChars && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = value * 10 + (text[i] - u'0');
    return value;
}

}  // namespace

int PageModeLengthLimit(LONG width_mm) {
    switch (width_mm) {
    case 58: return 431;
    case 60: return 416;
    case 66: return 377;
    case 76:
    case 80: return 326;
    case 83: return 294;
    case 112: return 223;
    default: return 0;
    }
}

LengthVerdict CheckUserPaperLength(PaperMetrix* user, bool page_mode, const PpdData& ppd) {
    const LONG length = user->PaperLength;
    if (length < ppd.MINUserDef) {
        if (length == 0) return {kStringNoLength, 0};
        return {kStringMinimumLength, ppd.MINUserDef};
    }
    const int longest = page_mode ? PageModeLengthLimit(user->PaperWidth) : ppd.MAXUserDef;
    if (longest && length > longest) return {kStringMaximumLength, longest};
    user->AreaLengthMM = length;
    user->PhysLength = user->AreaLength = static_cast<LONG>(static_cast<long long>(length) * 2030 / 254);
    return {};
}

std::u16string DigitsOnly(const std::u16string& text) {
    std::u16string digits;
    for (size_t i = 0; i < text.size() && i < kFilteredChars; ++i)
        if (text[i] >= u'0' && text[i] <= u'9') digits.push_back(text[i]);
    if (text.size() > kFilteredChars) digits.append(text, kFilteredChars, std::u16string::npos);
    return digits;
}

CustomPaperBox::CustomPaperBox(const EXDEVMODE& working, const PpdData& ppd) : ppd_(ppd) {
    const PaperMetrix user = working.UserPaper;
    for (WORD i = 0; ppd.pUserDef && i < ppd.NumUserDef; ++i)
        if (ppd.pUserDef[i].PaperWidth == user.PaperWidth) {
            selected_ = i;
            break;
        }
    length_text_ = Number(user.PaperLength);
}

void CustomPaperBox::SelectPreset(int index) {
    if (!ppd_.pUserDef || index < 0 || index >= ppd_.NumUserDef) return;
    selected_ = index;
    length_text_ = Number(ppd_.pUserDef[index].PaperLength);
}

bool CustomPaperBox::EditLength(const std::u16string& text) {
    const std::u16string filtered = DigitsOnly(text).substr(0, kLengthChars);
    length_text_ = filtered;
    return filtered != text;
}

void CustomPaperBox::RestoreDefaults() { SelectPreset(ppd_.DefUserPaper); }

LengthVerdict CustomPaperBox::Accept(EXDEVMODE* working) const {
    PaperMetrix chosen = working->UserPaper;
    if (ppd_.pUserDef && selected_ >= 0 && selected_ < ppd_.NumUserDef) chosen = ppd_.pUserDef[selected_];
    chosen.PaperLength = NumberOf(length_text_);
    const LengthVerdict verdict = CheckUserPaperLength(&chosen, working->Mode != 0, ppd_);
    if (verdict.passed()) working->UserPaper = chosen;
    return verdict;
}
