#pragma once
// Turns whatever is typed or pasted into upper case. The limit is kept here as well as in the
// line edit, because upper-casing can lengthen a text ("ß" gives "SS").
#include <QValidator>

namespace widgets {

class UpperCaseValidator : public QValidator {
public:
    static constexpr int kNoLimit = -1;
    explicit UpperCaseValidator(QObject* parent, int limit = kNoLimit)
        : QValidator(parent), limit_(limit) {}
    void setLimit(int limit) { limit_ = limit; }
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return limit_ == kNoLimit || input.size() <= limit_ ? Acceptable : Invalid;
    }

private:
    int limit_;
};

} // namespace widgets
