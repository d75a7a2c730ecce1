#pragma once

#include "batch/engine/BatchTypes.h"

#include <QObject>

#include <initializer_list>
#include <optional>

class NumberField;
class QGridLayout;
class QWidget;

// A group of rows of a settings panel (the size rows, a format and its quality,
// ...): it places its fields in the panel's grid and reads them, each once, into
// a job's settings. A panel is its parts, in order.
class SettingsPart : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Adds its rows to the grid from row; returns the row after its last.
    virtual int place(QGridLayout *grid, int row) = 0;
    // Writes what its fields say into settings. Returns the rule of its first
    // shown field whose text the rule refuses ("1–10000 的整数"), else empty.
    virtual QString readInto(JobSettings &settings) const = 0;

protected:
    struct Field
    {
        QWidget *caption;
        QWidget *field;
    };
    // One row from row on for each field: its caption in column 0, the field
    // across columns 1-3. Returns the row after the last.
    static int addFields(QGridLayout *grid, int row, std::initializer_list<Field> fields);
    // A number field's text, read once: its number, or none when not given, when
    // hidden (not asked) or refused; a refusal sets problem when it is still empty.
    static std::optional<int> readNumber(const NumberField *field, QString &problem);
};
