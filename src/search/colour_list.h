#pragma once
// The search window's colour drop-down: swatches without names of the basic colours a new cart
// may take. Its value starts as black, which the list does not offer, and changes only when
// the operator picks an entry.
#include <QComboBox>

#include <vector>

namespace search {

class ColourList : public QComboBox {
    Q_OBJECT
public:
    explicit ColourList(QWidget* parent = nullptr);

    // The picked colour as 00BBGGRR; black (0) until the operator picks one.
    int colour() const { return colour_; }
    // The colours offered, in list order, as 00BBGGRR.
    std::vector<int> offered() const;

private:
    void addSwatch(int bgr);

    int colour_ = 0;
};

} // namespace search
