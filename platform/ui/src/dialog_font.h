// The dialog font and the dialog units measured from it.
#pragma once

#include <QFont>
#include <QString>

namespace qorui {

struct DialogUnits {
    int base_x = 0;  // average character width, pixels
    int base_y = 0;  // character height, pixels
    int x(int dlu) const { return (dlu * base_x + 2) / 4; }
    int y(int dlu) const { return (dlu * base_y + 4) / 8; }
};

// The platform's dialog faces become the desktop's sans font; sizes in
// points are taken at 96 pixels per inch so layouts do not follow the
// screen's DPI guess.
QFont dialog_font(const QString& face, int point_size, int weight, bool italic);
DialogUnits dialog_units(const QFont& font);

}  // namespace qorui
