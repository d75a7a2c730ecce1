#pragma once

#include "widgets/StyledLineEdit.h"

#include <optional>

// The rule of a whole-number field: ASCII digits, a leading "-" only when the range
// goes below 0, blanks around it ignored; nothing is ever rewritten. An empty text
// (and, where the field says so, 0) means "not given" only when the field allows it.
struct NumberRule
{
    int bottom = 0;
    int top = 0;
    bool emptyMeansNone = false;

    enum class Verdict { Number, NotGiven, Refused };
    struct Reading
    {
        Verdict verdict = Verdict::Refused;
        int value = 0; // for Number
    };

    Reading read(const QString &text) const;
    // The rule in words: "1–10000 的整数", "-360–360 的整数".
    QString message() const;
};

// A number field that keeps what was typed: a text its rule refuses turns the
// field red with the rule as its tooltip; the page asks problem() before it
// starts and shows that message instead of running.
class NumberField : public StyledLineEdit
{
    Q_OBJECT

public:
    explicit NumberField(const NumberRule &rule, QWidget *parent = nullptr);

    const NumberRule &rule() const { return numberRule; }
    // The number typed; nothing when not given or refused.
    std::optional<int> value() const;
    bool isRefused() const;
    // The rule's message when the text is refused, else empty.
    QString problem() const;
    // The tooltip shown while the text is acceptable (a hint of the field's own).
    void setHint(const QString &hint);

private:
    void showVerdict();

    NumberRule numberRule;
    QString hintText;
};
