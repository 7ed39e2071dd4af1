#include "dialog_font.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace qorui {

QFont dialog_font(const QString& face, int point_size, int weight, bool italic) {
    static const QStringList kGenericFaces{"", "MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                           "Microsoft Sans Serif", "System"};
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    bool generic = kGenericFaces.contains(face, Qt::CaseInsensitive);
    if (!generic) font.setFamily(face);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, (std::max(point_size, 1) * 96 + 36) / 72));
    if (weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    font.setItalic(italic);
    return font;
}

DialogUnits dialog_units(const QFont& font) {
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.base_x = std::max(1, (letters / 26 + 1) / 2);
    units.base_y = std::max(1, metrics.height());
    return units;
}

}  // namespace qorui
