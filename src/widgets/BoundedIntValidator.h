#pragma once

#include <QIntValidator>

#include <optional>

// The rule of every number field (toolbox and print dialog): ASCII digits, with one leading
// "-" only when the range goes below 0, and nothing else: no group or decimal
// separator, no "+", no blanks, whatever the locale. QIntValidator follows the
// locale: it let "1,000" through, which toInt then read as nothing. The rule also
// refuses a number outside the range as soon as it is typed (QIntValidator keeps
// 361 for a top of 360 as "intermediate", and a field is read whatever its state).
//
// A page reads a field with value(), so it takes exactly what the field accepted.
class BoundedIntValidator : public QIntValidator
{
    Q_OBJECT

public:
    BoundedIntValidator(int bottom, int top, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
    // Never rewrites the text (QIntValidator's fixup would write it back in the
    // locale's format, group separators included).
    void fixup(QString &input) const override;

    // The rule itself, for the range [bottom, top].
    static State check(const QString &text, int bottom, int top);
    // The number an acceptable text holds; nothing for any other text.
    static std::optional<int> read(const QString &text, int bottom, int top);

    std::optional<int> value(const QString &text) const { return read(text, bottom(), top()); }
};
