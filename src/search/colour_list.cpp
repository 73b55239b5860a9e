#include "search/colour_list.h"

#include "widgets/bgr_color.h"

#include <QPixmap>

namespace search {

namespace {

// The sixteen basic colours as 00BBGGRR: black, maroon, green, olive, navy, purple, teal, grey,
// silver, red, lime, yellow, blue, fuchsia, aqua, white.
constexpr int kBasicColours[] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                 0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
constexpr int kBlack = 0;
// The list offers neither black nor lime: black goes first, then lime, the tenth entry left.
constexpr int kLimeIndexAfterBlack = 9;
const QSize kSwatchSize(150, 12);

} // namespace

ColourList::ColourList(QWidget* parent) : QComboBox(parent) {
    setIconSize(kSwatchSize);
    for (const int bgr : kBasicColours)
        addSwatch(bgr);
    removeItem(kBlack);
    removeItem(kLimeIndexAfterBlack);
    setCurrentIndex(-1); // nothing picked: the value stays black
    connect(this, &QComboBox::activated, this,
            [this](int index) { colour_ = itemData(index).toInt(); });
}

void ColourList::addSwatch(int bgr) {
    QPixmap swatch(kSwatchSize);
    swatch.fill(widgets::colorFromBgr(bgr));
    addItem(QIcon(swatch), QString(), bgr);
}

std::vector<int> ColourList::offered() const {
    std::vector<int> colours;
    for (int i = 0; i < count(); ++i)
        colours.push_back(itemData(i).toInt());
    return colours;
}

} // namespace search
