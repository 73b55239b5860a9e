#include "widgets/spin_edit.h"

#include "core/text_helpers.h"

#include <QLineEdit>

#include <algorithm>

namespace widgets {

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    // The base class reads nothing itself; the text is taken whenever editing finishes, which
    // it signals on leaving the field and on Return.
    connect(this, &QAbstractSpinBox::editingFinished, this, &SpinEdit::commitText);
    showValue();
}

int SpinEdit::bounded(qint64 value) const {
    return static_cast<int>(std::clamp<qint64>(value, minimum_, maximum_));
}

void SpinEdit::setValue(int value) {
    const int next = bounded(value);
    const bool changed = next != value_;
    value_ = next;
    showValue(); // also puts back a text that did not match the value
    if (changed) {
        emit valueChanged(value_);
    }
}

void SpinEdit::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void SpinEdit::setStep(int step) {
    step_ = std::max(step, 1);
}

void SpinEdit::commitText() {
    setValue(typedValue());
}

int SpinEdit::typedValue() const {
    const std::optional<qint32> typed = core::toWholeNumber(text().trimmed());
    return typed ? bounded(*typed) : value_;
}

void SpinEdit::stepBy(int steps) {
    commitText(); // a typed value is where the step starts from
    setValue(bounded(qint64{value_} + qint64{steps} * step_));
    selectAll();
}

// Free typing: a value outside the range or a half-typed number must be possible while the
// field has the focus; commitText decides once it is left.
QValidator::State SpinEdit::validate(QString& /*input*/, int& /*pos*/) const {
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    const int value = typedValue();
    StepEnabled enabled = StepNone;
    if (value < maximum_) {
        enabled |= StepUpEnabled;
    }
    if (value > minimum_) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

void SpinEdit::showValue() {
    const QString text = QString::number(value_);
    if (lineEdit()->text() != text) {
        lineEdit()->setText(text);
    }
    update(); // the arrows follow stepEnabled()
}

} // namespace widgets
