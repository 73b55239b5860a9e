#pragma once
// A spin edit for whole numbers: a text field with up and down arrows, a range and a step.
//
// The arrows, the Up/Down keys (one step), Page Up/Page Down (ten steps) and the mouse wheel
// move the value by the step, never beyond the range. Anything may be typed; the text is read
// when the field is left or Return is pressed: a whole number is brought to the nearest bound
// of the range, any other text is put back to the last valid value. A value set from code is
// brought into the range the same way.
#include <QAbstractSpinBox>

namespace widgets {

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int value);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    // The value is brought into the new range. A minimum above the maximum is taken as both.
    void setRange(int minimum, int maximum);
    int step() const { return step_; }
    void setStep(int step); // at least 1

    // Reads the typed text now, as leaving the field does.
    void commitText();

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

signals:
    void valueChanged(int value);

protected:
    StepEnabled stepEnabled() const override;

private:
    int bounded(qint64 value) const;
    int typedValue() const; // the text read as commitText would, without changing anything
    void showValue();

    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 99;
    int step_ = 1;
};

} // namespace widgets
