#pragma once
// Turns whatever is typed or pasted into upper case. The limit is kept here as well as in the
// line edit, because upper-casing can lengthen a text ("ß" gives "SS").
#include <QValidator>

namespace app {

class UpperCaseValidator : public QValidator {
public:
    UpperCaseValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
    void setLimit(int limit) { limit_ = limit; }
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return input.size() <= limit_ ? Acceptable : Invalid;
    }

private:
    int limit_;
};

} // namespace app
